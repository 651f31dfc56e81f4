#include "foundation/os/device_link.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <tuple>
#include <vector>

namespace {

using DeviceLink::Argument;
using DeviceLink::PostedMessage;
using DeviceLink::Request;
using Bytes = std::vector<uint8_t>;

// A request as it came out of a message, its record copied.
using Taken = std::tuple<Argument, uint32_t, uint64_t, uint32_t, Bytes>;

Taken taken(const Request& request)
{
    return {request.argument, request.code, request.inode, request.value,
            Bytes(request.record, request.record + request.size)};
}

// The requests of a message, and whether it decoded to its end.
std::pair<bool, std::vector<Taken>> decode(const uint8_t* message, size_t length)
{
    std::vector<Taken> requests;
    bool whole = DeviceLink::get_posted(message, length, [&](Request request, size_t count) {
        for (; count > 0; --count, request.record += request.size)
            requests.push_back(taken(request));
    });
    return {whole, requests};
}

TEST(PostedMessage, RequestsComeOutAsTheyWentInWhateverRunsTheyShare)
{
    const uint8_t records[] = {0, 0, 0x20, 1, 0, 0, 0x20, 2, 0, 0, 0x20, 3, 0, 0, 0x20, 4};
    // A run of four, one that differs in its device, in its code, in its size, record-less
    // requests that differ only in their value, and the first kind again.
    std::vector<Request> sent = {
        {Argument::record, 0x80044D03, 7, 0, records, 4},     {Argument::record, 0x80044D03, 7, 0, records + 4, 4},
        {Argument::record, 0x80044D03, 7, 0, records + 8, 4}, {Argument::record, 0x80044D03, 7, 0, records + 12, 4},
        {Argument::record, 0x80044D03, 8, 0, records, 4},     {Argument::record, 0x80084D02, 8, 0, records, 8},
        {Argument::record, 0x80084D02, 8, 0, records, 4},     {Argument::value, 0x80044300, 8, 5, nullptr, 0},
        {Argument::value, 0x80044300, 8, 6, nullptr, 0},      {Argument::none, 0x20004D02, 8, 0, nullptr, 0},
        {Argument::none, 0x20004D02, 8, 0, nullptr, 0},       {Argument::record, 0x80044D03, 7, 0, records, 4},
    };
    PostedMessage message;
    std::vector<Taken> expected;
    for (const Request& request : sent) {
        ASSERT_EQ(message.add(request), 1u);
        expected.push_back(taken(request));
    }
    EXPECT_TRUE(DeviceLink::is_posted(message.data(), message.size()));
    EXPECT_FALSE(DeviceLink::is_answered(message.data(), message.size()));
    EXPECT_EQ(decode(message.data(), message.size()), std::make_pair(true, expected));
    message.ask_reply();
    EXPECT_TRUE(DeviceLink::is_answered(message.data(), message.size()));
    EXPECT_EQ(decode(message.data(), message.size()), std::make_pair(true, expected));

    message.clear();
    EXPECT_TRUE(message.empty());
    ASSERT_EQ(message.add(sent[1], 3), 3u);
    EXPECT_EQ(decode(message.data(), message.size()),
              std::make_pair(true, std::vector<Taken>{taken(sent[1]), taken(sent[2]), taken(sent[3])}));
}

TEST(PostedMessage, AFullMessageTakesWhatFitsAndARunEndsAtItsCountLimit)
{
    std::vector<uint8_t> records(4 * 40000, 0x5A);
    const Request disable{Argument::record, 0x80044D03, 7, 0, records.data(), 4};
    PostedMessage message;
    const size_t fitted = message.add(disable, 40000);
    EXPECT_LT(fitted, 40000u);
    EXPECT_EQ(message.add(disable), 0u);
    EXPECT_LE(message.size(), DeviceLink::max_posted_message);
    EXPECT_GT(message.size() + 4, DeviceLink::max_posted_message);
    auto [whole, requests] = decode(message.data(), message.size());
    EXPECT_TRUE(whole);
    EXPECT_EQ(requests.size(), fitted);

    // Record-less requests cost no room, but a run counts at most 65535 of them.
    const Request ping{Argument::none, 0x20004D02, 7, 0, nullptr, 0};
    message.clear();
    EXPECT_EQ(message.add(ping, 70000), 70000u);
    std::tie(whole, requests) = decode(message.data(), message.size());
    EXPECT_TRUE(whole);
    EXPECT_EQ(requests.size(), 70000u);

    // A record beyond the limit never fits.
    std::vector<uint8_t> huge(DeviceLink::max_record + 1);
    message.clear();
    EXPECT_EQ(message.add({Argument::record, 1, 7, 0, huge.data(), huge.size()}), 0u);
    EXPECT_TRUE(message.empty());
}

TEST(PostedMessage, AMalformedRunIsNotTakenButTheRunsBeforeItAre)
{
    const uint8_t record[] = {0, 0, 0x20, 1, 0, 0, 0x20, 2};
    PostedMessage message;
    message.add({Argument::record, 0x80044D03, 7, 0, record, 4}, 2);
    const Bytes good(message.data(), message.data() + message.size());
    message.clear();
    message.add({Argument::record, 0x80084D02, 7, 0, record, 8});
    const Bytes second(message.data() + 1, message.data() + message.size());
    const std::vector<Taken> first_run = decode(good.data(), good.size()).second;
    ASSERT_EQ(first_run.size(), 2u);

    auto with = [&](Bytes run) {
        Bytes bytes = good;
        bytes.insert(bytes.end(), run.begin(), run.end());
        return decode(bytes.data(), bytes.size());
    };
    const Taken connect = taken({Argument::record, 0x80084D02, 7, 0, record, 8});
    ASSERT_EQ(with(second), std::make_pair(true, std::vector<Taken>{first_run[0], first_run[1], connect}));
    Bytes run = second;
    run[1] = 2;  // a second record that is not there
    EXPECT_EQ(with(run), std::make_pair(false, first_run));
    run = second;
    run[1] = 0;  // a run of none
    EXPECT_EQ(with(run), std::make_pair(false, first_run));
    run = second;
    run[3] = 0xFF;  // the first request longer than the message
    EXPECT_EQ(with(run), std::make_pair(false, first_run));
    run = second;
    run[4] = 'o';  // not a request
    EXPECT_EQ(with(run), std::make_pair(false, first_run));
    EXPECT_EQ(with(Bytes(second.begin(), second.begin() + 3)), std::make_pair(false, first_run));
    EXPECT_FALSE(DeviceLink::is_posted(good.data(), 1));
}

}  // namespace
