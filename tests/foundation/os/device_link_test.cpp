#include "foundation/os/device_link.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <numeric>
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
    bool whole = DeviceLink::get_posted(message, length, [&](Request first, size_t count, bool counting) {
        Bytes record(first.size);
        for (size_t index = 0; index < count; ++index) {
            Request request = first;
            if (counting) {
                DeviceLink::counted_record(first, index, record.data());
                request.record = record.data();
            } else {
                request.record += index * first.size;
            }
            requests.push_back(taken(request));
        }
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

// Records of one request that carry a 32-bit output number and `tail` further bytes.
Bytes numbered(const std::vector<uint32_t>& outputs, size_t tail = 0)
{
    Bytes records;
    for (uint32_t output : outputs) {
        const uint8_t head[] = {static_cast<uint8_t>(output >> 24), static_cast<uint8_t>(output >> 16),
                                static_cast<uint8_t>(output >> 8), static_cast<uint8_t>(output)};
        records.insert(records.end(), head, head + 4);
        records.insert(records.end(), tail, 0x33);
    }
    return records;
}

// Requests of `first`'s kind whose records come one after the other in `records`.
std::vector<Taken> each(const Request& first, const Bytes& records)
{
    std::vector<Taken> requests;
    for (size_t at = 0; at < records.size(); at += first.size) {
        Request request = first;
        request.record = records.data() + at;
        requests.push_back(taken(request));
    }
    return requests;
}

TEST(PostedMessage, CountedRequestsTravelAsTheirFirstAndComeOutAsSent)
{
    // The switch's refresh: 128 outputs a pass from where the last pass ended, the 2048 outputs
    // over and over, some driven (left out) and one alone between two driven ones; each stretch
    // of neighbours posted at once.
    std::vector<uint32_t> outputs;
    PostedMessage message;
    const Request disable{Argument::record, 0x80044D03, 7, 0, nullptr, 4};
    for (uint32_t pass = 0, cursor = 0; pass < 200; ++pass) {
        std::vector<uint32_t> stretch;
        auto post = [&] {
            if (stretch.empty())
                return;
            const Bytes first = numbered({stretch.front()});
            Request request = disable;
            request.record = first.data();
            ASSERT_EQ(message.add_counting(request, stretch.size()), stretch.size());
            outputs.insert(outputs.end(), stretch.begin(), stretch.end());
            stretch.clear();
        };
        for (int i = 0; i < 128; ++i, cursor = (cursor + 1) % 2048) {
            if (cursor % 500 == 7 || cursor == 1000 || cursor == 1002 || cursor == 0)
                post();
            if (cursor % 500 != 7 && cursor != 1000 && cursor != 1002)
                stretch.push_back(8192 + cursor);
        }
        post();
    }
    // Under ten runs of 26 octets in each of the 13 cycles of 2048 outputs, not 4 octets a request.
    EXPECT_LT(message.size(), 13 * 10 * 26u);
    EXPECT_EQ(decode(message.data(), message.size()), std::make_pair(true, each(disable, numbered(outputs))));

    // The count goes on through the top of its range; a post whose record differs beyond the
    // counter, a count past a run's limit and listed requests after a counting run travel as runs
    // of their own.
    const Bytes wrapping = numbered({0xFFFFFFFE, 0xFFFFFFFF, 0, 1});
    const Bytes tailed = numbered({5, 6}, 2);
    Bytes differing = numbered({7, 8}, 2);
    differing[4] = differing[10] = 0x44;
    std::vector<uint32_t> upwards(70000);
    std::iota(upwards.begin(), upwards.end(), 0);
    const Bytes long_count = numbered(upwards);
    const std::vector<std::pair<Request, const Bytes*>> sent = {
        {{Argument::record, 0x80044D03, 7, 0, nullptr, 4}, &wrapping},
        {{Argument::record, 0x80084D02, 7, 0, nullptr, 6}, &tailed},
        {{Argument::record, 0x80084D02, 7, 0, nullptr, 6}, &differing},
        {{Argument::record, 0x80044D03, 8, 0, nullptr, 4}, &long_count},
    };
    message.clear();
    std::vector<Taken> expected;
    for (auto [first, records] : sent) {
        first.record = records->data();
        const size_t count = records->size() / first.size;
        ASSERT_EQ(message.add_counting(first, count), count);
        const std::vector<Taken> requests = each(first, *records);
        expected.insert(expected.end(), requests.begin(), requests.end());
    }
    const Bytes listed = numbered({70000, 70001});
    ASSERT_EQ(message.add({Argument::record, 0x80044D03, 8, 0, listed.data(), 4}, 2), 2u);
    const std::vector<Taken> requests = each({Argument::record, 0x80044D03, 8, 0, nullptr, 4}, listed);
    expected.insert(expected.end(), requests.begin(), requests.end());
    EXPECT_LT(message.size(), 200u);
    EXPECT_EQ(decode(message.data(), message.size()), std::make_pair(true, expected));
}

TEST(PostedMessage, ACountedPostGoesOnFromTheRunBeforeItAndTakesWhatFitsInAFullMessage)
{
    const Bytes first = numbered({100}, 2);
    const Bytes before = numbered({97}, 2);
    PostedMessage message;
    ASSERT_EQ(message.add_counting({Argument::record, 0x80084D02, 7, 0, before.data(), 6}, 3), 3u);
    const size_t three = message.size();
    ASSERT_EQ(message.add_counting({Argument::record, 0x80084D02, 7, 0, first.data(), 6}, 65532), 65532u);
    EXPECT_EQ(message.size(), three);
    ASSERT_EQ(message.add_counting({Argument::record, 0x80084D02, 7, 0, first.data(), 6}, 2), 2u);
    // A run counts at most 65535: the second post begins a run of its own.
    std::vector<uint32_t> outputs(65535);
    std::iota(outputs.begin(), outputs.end(), 97);
    outputs.insert(outputs.end(), {100, 101});
    EXPECT_EQ(decode(message.data(), message.size()),
              std::make_pair(true, each({Argument::record, 0x80084D02, 7, 0, nullptr, 6}, numbered(outputs, 2))));

    // A message without room for another run takes none.
    const Bytes filler(4 * 40000, 0x5A);
    message.clear();
    ASSERT_LT(message.add({Argument::record, 0x80044D03, 7, 0, filler.data(), 4}, 40000), 40000u);
    EXPECT_EQ(message.add_counting({Argument::record, 0x80084D02, 7, 0, first.data(), 6}, 5), 0u);
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
    run.resize(4 + 18);  // a counting run of a record-less request: nothing to count in
    run[2] = 0x80;
    run[3] = 18;
    run[4 + 1] = 0;
    EXPECT_EQ(with(run), std::make_pair(false, first_run));
    run = second;
    run[4] = 'o';  // not a request
    EXPECT_EQ(with(run), std::make_pair(false, first_run));
    EXPECT_EQ(with(Bytes(second.begin(), second.begin() + 3)), std::make_pair(false, first_run));
    EXPECT_FALSE(DeviceLink::is_posted(good.data(), 1));
}

}  // namespace
