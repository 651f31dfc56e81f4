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

    bool hold_activation = false;
    bool fail_deactivation = false;

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

    std::vector<Protocol*> activated;
    std::vector<Protocol*> deactivated;
    std::vector<Status> statuses;
    std::vector<std::string> received;
    std::vector<std::string> sent;
};

TEST(ProtocolsFamily, ActsAsOneLayerOfAnOuterStack)
{
    std::vector<std::string> journal;
    Owner outer;
    auto* below = static_cast<Recorder*>(outer.add_protocol_tail(new Recorder(journal, "L", 1)));
    auto* family = static_cast<ProtocolsFamily*>(outer.add_protocol_tail(new ProtocolsFamily));
    auto* inner_bottom = static_cast<Recorder*>(family->add_protocol_tail(new Recorder(journal, "b", 2)));
    family->add_protocol_tail(new Recorder(journal, "t", 4));

    // Activation climbs from the bottom, each layer once the one below reports.
    below->hold_activation = true;
    family->activate();
    EXPECT_EQ(journal, (std::vector<std::string>{"L activate"}));
    EXPECT_TRUE(outer.activated.empty());
    below->on_activate();
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
