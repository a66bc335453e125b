// The channel-change capture: take the current channel from the host core and arm the timer.
#pragma once

void OnChannelChange(void);
