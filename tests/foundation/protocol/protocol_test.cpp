#include "foundation/protocol/protocols_family.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Status = Smart_pointer<Internal_protocol_status>;

// A layer that records what reaches it in a shared journal and adds its tag byte to packets.
class Recorder : public Protocol {
public:
    Recorder(std::vector<std::string>& journal, std::string tag, unsigned head = 0)
        : journal_(journal), tag_(std::move(tag)), head_(head)
    {
    }
    ~Recorder() override { journal_.push_back(tag_ + " deleted"); }

    void local_prepare_head(Packet& p) override
    {
        journal_.push_back(tag_ + " head");
        p.reserve_head(head_);
    }
    void local_activate() override
    {
        journal_.push_back(tag_ + " activate");
        if (!hold_activation)
            on_activate();
    }
    void local_deactivate() override
    {
        journal_.push_back(tag_ + " deactivate");
        on_deactivate(fail_deactivation ? Status(new Protocol_status_error(this, tag_ + " failed"))
                                         : Status(new Protocol_status_success(this)));
    }
    Status local_initialize() override
    {
        journal_.push_back(tag_ + " initialize");
        if (fail_initialize)
            return new Protocol_status_error(this, tag_ + " broken");
        return Protocol::local_initialize();
    }
    void message(Packet& p) override
    {
        p.push(static_cast<unsigned char>(tag_[0]));
        transmit(p);
    }
    void receive(Packet& p) override
    {
        journal_.push_back(tag_ + " receive " + std::string(1, char(p.pull())));
        on_message(p);
    }
    bool compare_name(const Protocol_name& name) const override { return name.compare(Protocol_name_str(tag_.c_str())); }

    bool hold_activation = false;
    bool fail_deactivation = false;
    bool fail_initialize = false;

private:
    std::vector<std::string>& journal_;
    std::string tag_;
    unsigned head_;
};

// The owner at the end of a stack: keeps what the stack reports.
class Owner : public ProtocolsList {
public:
    void on_activated(Protocol* layer) override { activated.push_back(layer); }
    void on_deactivated(Protocol* layer, Status status) override
    {
        deactivated.push_back(layer);
        statuses.push_back(status);
    }
    void on_message(Packet& p) override { received.push_back(p.text()); }
    void transmit(Packet& p) override { sent.push_back(p.text()); }
    void on_status(Status status) override { statuses.push_back(status); }

    std::vector<Protocol*> activated;
    std::vector<Protocol*> deactivated;
    std::vector<Status> statuses;
    std::vector<std::string> received;
    std::vector<std::string> sent;
};

TEST(ProtocolNames, CompareByKindAndText)
{
    Protocol_name_str a("link"), b("link"), c("other"), unnamed(nullptr);
    Protocol_name_null null1, null2;
    EXPECT_TRUE(a.compare(b));
    EXPECT_FALSE(a.compare(c));
    EXPECT_FALSE(a.compare(null1));
    EXPECT_FALSE(null1.compare(a));
    EXPECT_TRUE(null1.compare(null2));
    EXPECT_STREQ(unnamed.name(), "(no name)");
    EXPECT_STREQ(Protocol().name().name(), "(no name)");
    EXPECT_FALSE(Protocol().compare_name(null1));
}

TEST(Protocol, LoneLayerHasNobodyToTell)
{
    std::vector<std::string> journal;
    Recorder alone(journal, "a");
    Packet p;
    p.reserve_head(1);
    alone.transmit(p);
    alone.on_message(p);
    alone.on_status(new Protocol_status_error(&alone, "x"));
    alone.on_deactivate(Status());
    alone.activate();
    alone.deactivate();
    EXPECT_EQ(journal, (std::vector<std::string>{"a activate", "a deactivate"}));
}

TEST(Protocol, PacketsGoDownAndUpAndHeadRoomIsReservedFromTheBottom)
{
    std::vector<std::string> journal;
    Owner owner;
    Protocol* bottom = owner.add_protocol_tail(new Recorder(journal, "B", 2));
    Protocol* top = owner.add_protocol_tail(new Recorder(journal, "T", 3));
    EXPECT_EQ(owner.head(), bottom);
    EXPECT_EQ(top->lower(), bottom);
    EXPECT_EQ(top->owner(), &owner);

    Packet p;
    top->prepare_head(p);
    EXPECT_EQ(journal, (std::vector<std::string>{"B head", "T head"}));
    EXPECT_EQ(p.headroom(), 5u);
    p.put(0x01);
    top->message(p);
    EXPECT_EQ(owner.sent, (std::vector<std::string>{"42 54 01"}));

    journal.clear();
    bottom->receive(p);
    EXPECT_EQ(journal, (std::vector<std::string>{"B receive B", "T receive T"}));
    EXPECT_EQ(owner.received, (std::vector<std::string>{"01"}));

    top->on_status(new Protocol_status_error(top, "note"));
    ASSERT_EQ(owner.statuses.size(), 1u);
    EXPECT_EQ(owner.statuses[0]->message(), "note");

    EXPECT_EQ(owner.search(Protocol_name_str("T")), top);
    EXPECT_EQ(owner.search(Protocol_name_str("X")), nullptr);
}

TEST(Protocol, ActivationClimbsAndDeactivationDescends)
{
    std::vector<std::string> journal;
    Owner owner;
    auto* bottom = static_cast<Recorder*>(owner.add_protocol_tail(new Recorder(journal, "B")));
    auto* top = static_cast<Recorder*>(owner.add_protocol_tail(new Recorder(journal, "T")));

    bottom->hold_activation = true;
    top->activate();
    EXPECT_EQ(journal, (std::vector<std::string>{"B activate"}));
    EXPECT_TRUE(owner.activated.empty());
    bottom->on_activate();
    EXPECT_EQ(journal, (std::vector<std::string>{"B activate", "T activate"}));
    EXPECT_EQ(owner.activated, (std::vector<Protocol*>{top}));

    journal.clear();
    top->deactivate();
    EXPECT_EQ(journal, (std::vector<std::string>{"T deactivate", "B deactivate"}));
    ASSERT_EQ(owner.deactivated, (std::vector<Protocol*>{bottom}));
    EXPECT_TRUE(owner.statuses[0]->success());
    EXPECT_EQ(owner.statuses[0]->origin(), bottom);

    // A failure of the bottom climbs to the top and reaches the owner from there.
    journal.clear();
    bottom->fail_deactivation = true;
    top->deactivate();
    EXPECT_EQ(journal, (std::vector<std::string>{"T deactivate", "B deactivate"}));
    ASSERT_EQ(owner.deactivated.size(), 2u);
    EXPECT_EQ(owner.deactivated[1], top);
    EXPECT_FALSE(owner.statuses[1]->success());
    EXPECT_EQ(owner.statuses[1]->message(), "B failed");
}

TEST(Protocol, InitialisationStopsAtTheFirstFailure)
{
    std::vector<std::string> journal;
    Owner owner;
    auto* bottom = static_cast<Recorder*>(owner.add_protocol_tail(new Recorder(journal, "B")));
    auto* top = static_cast<Recorder*>(owner.add_protocol_tail(new Recorder(journal, "T")));
    Status ok = top->initialize();
    EXPECT_TRUE(ok->success());
    EXPECT_EQ(ok->message(), "success");
    EXPECT_EQ(journal, (std::vector<std::string>{"B initialize", "T initialize"}));

    journal.clear();
    bottom->fail_initialize = true;
    Status failed = top->initialize();
    EXPECT_FALSE(failed->success());
    EXPECT_EQ(failed->message(), "B broken");
    EXPECT_EQ(journal, (std::vector<std::string>{"B initialize"}));
}

TEST(ProtocolsFamily, ActsAsOneLayerOfAnOuterStack)
{
    std::vector<std::string> journal;
    Owner outer;
    Protocol* below = outer.add_protocol_tail(new Recorder(journal, "L", 1));
    auto* family = static_cast<ProtocolsFamily*>(outer.add_protocol_tail(new ProtocolsFamily));
    auto* inner_bottom = static_cast<Recorder*>(family->add_protocol_tail(new Recorder(journal, "b", 2)));
    family->add_protocol_tail(new Recorder(journal, "t", 4));

    family->activate();
    EXPECT_EQ(journal, (std::vector<std::string>{"L activate", "b activate", "t activate"}));
    EXPECT_EQ(outer.activated, (std::vector<Protocol*>{family}));
    // A report from an inner layer that is not the top is ignored.
    family->on_activated(inner_bottom);
    EXPECT_EQ(outer.activated.size(), 1u);

    journal.clear();
    Packet p;
    family->prepare_head(p);
    EXPECT_EQ(journal, (std::vector<std::string>{"L head", "b head", "t head"}));
    EXPECT_EQ(p.headroom(), 7u);
    p.put(0x09);
    family->message(p);
    EXPECT_EQ(outer.sent, (std::vector<std::string>{"4C 62 74 09"}));

    journal.clear();
    below->receive(p);
    EXPECT_EQ(journal, (std::vector<std::string>{"L receive L", "b receive b", "t receive t"}));
    EXPECT_EQ(outer.received, (std::vector<std::string>{"09"}));

    // An inner failure climbs out of the family to the outer owner.
    journal.clear();
    inner_bottom->fail_deactivation = true;
    family->deactivate();
    EXPECT_EQ(journal, (std::vector<std::string>{"t deactivate", "b deactivate"}));
    ASSERT_EQ(outer.deactivated, (std::vector<Protocol*>{family}));
    EXPECT_EQ(outer.statuses[0]->message(), "b failed");
    EXPECT_EQ(outer.statuses[0]->origin(), inner_bottom);
}

TEST(ProtocolsFamily, EmptyFamilyDoesNothingAndFailsToInitialise)
{
    ProtocolsFamily empty;
    Packet p;
    empty.prepare_head(p);
    EXPECT_TRUE(p.is_null());
    empty.activate();
    empty.message(p);
    empty.receive(p);
    Status status = empty.initialize();
    EXPECT_FALSE(status->success());
    EXPECT_EQ(status->message(), "error");
    EXPECT_EQ(status->origin(), &empty);
}

TEST(ProtocolsList, DeletesItsLayersTopFirstAndRelinksOnRemoval)
{
    std::vector<std::string> journal;
    {
        ProtocolsList list;
        Protocol* a = list.add_protocol_tail(new Recorder(journal, "a"));
        Protocol* b = list.add_protocol_tail(new Recorder(journal, "b"));
        Protocol* c = list.add_protocol_tail(new Recorder(journal, "c"));
        Protocol* z = list.add_protocol_head(new Recorder(journal, "z"));
        EXPECT_EQ(list.head(), z);
        EXPECT_EQ(list.size(), 4u);
        delete b;
        EXPECT_EQ(list.size(), 3u);
        EXPECT_EQ(a->upper(), c);
        EXPECT_EQ(c->lower(), a);

        // Moving a layer to another list takes it out of this one.
        ProtocolsList other;
        other.add_protocol_tail(c);
        EXPECT_EQ(list.tail(), a);
        EXPECT_EQ(other.head(), c);
        journal.clear();
    }
    EXPECT_EQ(journal, (std::vector<std::string>{"c deleted", "a deleted", "z deleted"}));
}

TEST(ProtocolDeathTest, NullInitialisationResultIsFatal)
{
    class Broken : public Protocol {
        Status local_initialize() override { return Status(); }
    };
    EXPECT_DEATH(
        {
            ProtocolsList list;
            list.add_protocol_tail(new Broken);
            list.add_protocol_tail(new Protocol)->initialize();
        },
        "SMART POINTER ASSERTION!");
}

}  // namespace
