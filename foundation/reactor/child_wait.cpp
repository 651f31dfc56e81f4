#include "foundation/reactor/child_wait.h"

#include "foundation/reactor/child_wait_service.h"

unsigned ChildWait::UsageCounter = 0;

ChildWait::ChildWait() : handler_(new (room_.bytes) DummyHandler) {}

ChildWait::~ChildWait()
{
    handler_->~Handler();
    Detach();
}

void ChildWait::Attach(int pid)
{
    pid_ = pid;
    ChildWaitService* service = ChildWaitService::childWaitService;
    if (!service)
        return;
    Detach();
    service->waiters_.push_back(this);
    linked_ = true;
}

void ChildWait::Detach()
{
    ChildWaitService* service = ChildWaitService::childWaitService;
    if (!service || !linked_)
        return;
    service->waiters_.remove(this);
    linked_ = false;
}

void ChildWait::Initialize() { ChildWaitService::childWaitService = new ChildWaitService; }

void ChildWait::Cleanup()
{
    ChildWaitService* service = ChildWaitService::childWaitService;
    if (!service)
        return;
    // The signal handler must not see the service any more before it goes.
    ChildWaitService::childWaitService = nullptr;
    delete service;
}

void ChildWait::Activate()
{
    if (ChildWaitService* service = ChildWaitService::childWaitService)
        service->Activate();
}
