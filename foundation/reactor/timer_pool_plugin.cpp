#include "foundation/reactor/timer_pool_plugin.h"

#include "foundation/reactor/multiplexer.h"

void TimerPoolPlugin::timerHook()
{
    if (!hooked_)
        multiplexer.hook(this);
    hooked_ = true;
}

void TimerPoolPlugin::timerUnhook()
{
    if (hooked_)
        multiplexer.unhook(this);
    hooked_ = false;
}
