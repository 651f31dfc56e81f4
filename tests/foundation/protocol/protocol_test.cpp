#include "foundation/protocol/protocols_family.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Status = Smart_pointer<Internal_protocol_status>;
using Journal = std::vector<std::string>;

// A layer that records what reaches it in a shared journal, adds its tag byte to packets and
// reserves a byte of head room for it.
class Recorder : public Protocol {
public:
    Recorder(Journal& journal, std::string tag) : journal_(journal), tag_(std::move(tag)) {}
    ~Recorder() override { journal_.push_back(tag_ + " deleted"); }

    void local_prepare_head(Packet& p) override
    {
        journal_.push_back(tag_ + " head");
        p.reserve_head(1);
    }
    void local_activate() override
    {
        journal_.push_back(tag_ + " activate");
        if (!hold_activation)
            on_activate();
    }
    Status local_initialize() override
    {
        journal_.push_back(tag_ + " initialize");
        if (fail_initialize)
            return new Protocol_status_error(this, tag_ + " broken");
        return Protocol::local_initialize();
    }
    bool compare_name(const Protocol_name& name) const override { return Protocol_name_str(tag_.c_str()).compare(name); }
    void local_deactivate() override
    {
        journal_.push_back(tag_ + " deactivate");
        on_deactivate(fail_deactivation ? Status(new Protocol_status_error(this, tag_ + " failed"))
                                         : Status(new Protocol_status_success(this)));
    }
    void message(Packet& p) override
    {
        if (refuse_messages) {
            on_status(new Protocol_status_refused(this, Protocol_status_refused::Reason::queue_full, tag_ + " full"));
            return;
        }
        p.push(static_cast<unsigned char>(tag_[0]));
        transmit(p);
    }
    void receive(Packet& p) override
    {
        journal_.push_back(tag_ + " receive " + std::string(1, char(p.pull())));
        on_message(p);
    }

    bool hold_activation = false;
    bool fail_deactivation = false;
    bool fail_initialize = false;
    bool refuse_messages = false;

private:
    Journal& journal_;
    std::string tag_;
};

// The owner at the end of a stack: keeps what the stack reports.
class Owner : public ProtocolsList {
public:
    void on_activated(Protocol* layer) override { activated.push_back(layer); }
    void on_deactivated(Protocol* layer, Status status) override { deactivated.emplace_back(layer, status); }
    void on_message(Packet& p) override { received.push_back(p.text()); }
    void transmit(Packet& p) override { sent.push_back(p.text()); }
    void on_status(Status status) override { statuses.push_back(status); }

    std::vector<Protocol*> activated;
    std::vector<Status> statuses;
    std::vector<std::pair<Protocol*, Status>> deactivated;
    Journal received, sent;
};

TEST(ProtocolsFamily, ActsAsOneLayerOfAnOuterStack)
{
    Journal journal;
    Owner outer;
    auto* below = static_cast<Recorder*>(outer.add_protocol_tail(new Recorder(journal, "L")));
    auto* family = static_cast<ProtocolsFamily*>(outer.add_protocol_tail(new ProtocolsFamily));
    auto* inner_bottom = static_cast<Recorder*>(family->add_protocol_tail(new Recorder(journal, "b")));
    family->add_protocol_tail(new Recorder(journal, "t"));

    // Activation climbs from the bottom, each layer once the one below reports.
    below->hold_activation = true;
    family->activate();
    EXPECT_EQ(journal, Journal{"L activate"});
    EXPECT_TRUE(outer.activated.empty());
    below->on_activate();
    EXPECT_EQ(journal, (Journal{"L activate", "b activate", "t activate"}));
    EXPECT_EQ(outer.activated, std::vector<Protocol*>{family});
    // A report from an inner layer that is not the top is ignored.
    family->on_activated(inner_bottom);
    EXPECT_EQ(outer.activated.size(), 1u);

    journal.clear();
    Packet p;
    family->prepare_head(p);
    EXPECT_EQ(journal, (Journal{"L head", "b head", "t head"}));
    EXPECT_EQ(p.headroom(), 3u);
    p.put(0x09);
    family->message(p);
    EXPECT_EQ(outer.sent, Journal{"4C 62 74 09"});

    journal.clear();
    below->receive(p);
    EXPECT_EQ(journal, (Journal{"L receive L", "b receive b", "t receive t"}));
    EXPECT_EQ(outer.received, Journal{"09"});

    // An inner failure climbs out of the family to the outer owner.
    journal.clear();
    inner_bottom->fail_deactivation = true;
    family->deactivate();
    EXPECT_EQ(journal, (Journal{"t deactivate", "b deactivate"}));
    ASSERT_EQ(outer.deactivated.size(), 1u);
    EXPECT_EQ(outer.deactivated[0].first, family);
    EXPECT_EQ(outer.deactivated[0].second->message(), "b failed");
    EXPECT_EQ(outer.deactivated[0].second->origin(), inner_bottom);
}

TEST(ProtocolsFamily, ASendLearnsWhetherALayerRefusedItsMessageWhileOtherReportsClimbOn)
{
    Journal journal;
    Owner outer;
    auto* family = static_cast<ProtocolsFamily*>(outer.add_protocol_tail(new ProtocolsFamily));
    auto* bottom = static_cast<Recorder*>(family->add_protocol_tail(new Recorder(journal, "b")));
    family->add_protocol_tail(new Recorder(journal, "t"));
    auto packet = [&] {
        Packet p;
        family->prepare_head(p);
        p.put(0x09);
        return p;
    };

    Packet p = packet();
    EXPECT_EQ(family->send(p), std::nullopt);
    EXPECT_EQ(outer.sent, Journal{"62 74 09"});

    // A refusal below the top layer answers the send and goes no further.
    bottom->refuse_messages = true;
    p = packet();
    EXPECT_EQ(family->send(p), Protocol_status_refused::Reason::queue_full);
    EXPECT_TRUE(outer.statuses.empty());
    // Without a send waiting for it, it climbs to the owner as before; so do other reports.
    p = packet();
    family->message(p);
    bottom->on_status(new Protocol_status_error(bottom, "note"));
    ASSERT_EQ(outer.statuses.size(), 2u);
    EXPECT_EQ(outer.statuses[0]->message(), "b full");
    EXPECT_EQ(outer.statuses[1]->message(), "note");
    EXPECT_EQ(outer.sent.size(), 1u);
}

TEST(Protocol, StartUpInitialisesFromTheBottomAndStopsAtTheFirstFailure)
{
    Journal journal;
    Owner outer;
    auto layer = [&](ProtocolsList& list, const char* tag) {
        return static_cast<Recorder*>(list.add_protocol_tail(new Recorder(journal, tag)));
    };
    Recorder* below = layer(outer, "L");
    auto* family = new ProtocolsFamily;
    outer.add_protocol_tail(family);
    Recorder* inner = layer(*family, "b");
    Recorder* top = layer(outer, "T");
    Status ok = top->initialize();
    EXPECT_TRUE(ok->success());
    EXPECT_EQ(journal, (Journal{"L initialize", "b initialize", "T initialize"}));

    journal.clear();
    inner->fail_initialize = true;
    Status failed = top->initialize();
    EXPECT_FALSE(failed->success());
    EXPECT_EQ(failed->message(), "b broken");
    EXPECT_EQ(failed->origin(), inner);
    EXPECT_EQ(journal, (Journal{"L initialize", "b initialize"}));
    journal.clear();
    below->fail_initialize = true;
    EXPECT_EQ(top->initialize()->message(), "L broken");
    EXPECT_EQ(journal, Journal{"L initialize"});

    // A family without layers cannot start.
    ProtocolsFamily empty;
    Status nothing = empty.initialize();
    EXPECT_FALSE(nothing->success());
    EXPECT_EQ(nothing->origin(), &empty);

    // A layer is found by its name from the bottom; a status climbs to the owner.
    EXPECT_EQ(outer.search(Protocol_name_str("T")), top);
    EXPECT_EQ(outer.search(Protocol_name_str("X")), nullptr);
    below->on_status(new Protocol_status_error(below, "note"));
    ASSERT_EQ(outer.statuses.size(), 1u);
    EXPECT_EQ(outer.statuses[0]->message(), "note");
}

TEST(ProtocolsList, DeletesItsLayersTopFirstAndRelinksOnRemoval)
{
    Journal journal;
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
    EXPECT_EQ(journal, (Journal{"c deleted", "a deleted", "z deleted"}));
}

}  // namespace
