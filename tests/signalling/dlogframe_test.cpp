#include "signalling/isdn/dlogframe.h"

#include "foundation/tshark_fields.h"
#include "signalling/hex_bytes.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>

namespace {

using signallingtest::bytes;
using signallingtest::Bytes;

std::string render(const Bytes& frame, bool network_to_user)
{
    ISDN::dlogframe(frame.data(), frame.size(), network_to_user, ISDN::logbuf);
    return ISDN::logbuf;
}

TEST(Dlogframe, RendersAddressCallReferenceAndEveryKindOfElement)
{
    EXPECT_EQ(render(bytes("02 01 01 05"), false), " 02 01 01 05\nframe user->network SFrame tei = 0 (01 05 )\n");
    // The text after the hex line and the direction.
    const char* cases[][2] = {
        {"00 01", ""}, {"fe ff 03 0f 12 34 01 ff", "tei management:\n"}, {"0e ff 03", "unknown sapi 3 broadcast\n"},
        {"02 ff 13 08", "no UI broadcast\n"}, {"06 03 00 00", "unknown sapi = 1; tei = 1\n"},
        {"02 01 00", "IFrame tei = 0\nframe too short\n"}, {"02 03 00 00 09 01", "IFrame tei = 1\nUnknown protocol 9!"},
        {"02 03 00 00 08 02 01", "IFrame tei = 1\n"},
        {"02 ff 03 08 01 81 05 a1 a3 50 02 01 02 08 02 80 90",
         "broadcast\ncallref 1 called size 14 message type SETUP\n  Sending complete\n  attribute 50 attribute size 2\n"
         "  Cause\n    coding 00 location 0000\n  cause value 10 : Normal call clearing \n"},
        {"00 01 00 00 08 00 05 04 07 88 18 9a 21 a3 42 63 70 09 81 31 32",
         "IFrame tei = 0\ncallref 0 caller size 17 message type SETUP\n  Bearer capability\n    octet 3  10001000\n"
         "    octet 4  00011000\n    octet 4.1 10011010\n    octet 5  00100001\n    octet 5a 10100011\n"
         "    octet 6  01000010\n    octet 7  01100011\n  Called party number\n    octet 3 10000001\n"
         "    number digits 12\n"},
        {"00 01 00 00 08 01 01 5a 08 06 00 81 90 01 02 83 1e 03 01 82 03 6c 04 01 82 33 34",
         "IFrame tei = 0\ncallref 1 caller size 23 message type RELEASE COMPLETE\n  Cause\n"
         "    coding 00 location 0000\n  cause value 10 : Normal call clearing \n    diag attribute 1  rej 2  av 3\n"
         "  Progress indicator\n    octet 3  00000001\n    octet 4  10000010\n    octet 4a 00000011\n  Calling party number\n"
         "    octet 3 00000001\n    octet 3a 10000010\n    number digits 34\n"},
    };
    const std::regex hex_and_direction("^.*\nframe network->user ");
    for (const auto& c : cases)
        EXPECT_EQ(std::regex_replace(render(bytes(c[0]), true), hex_and_direction, ""), c[1]) << c[0];

}

// What the text says in tshark's terms: call reference flag and value, message type, the elements
// in order with their causes; a frame rendered empty is one too short to read.
std::string our_reading(const Bytes& frame, bool network_to_user)
{
    std::istringstream text(render(frame, network_to_user));
    if (text.str().empty())
        return "|malformed";
    std::string line, reading;
    std::smatch m;
    for (std::getline(text, line); std::getline(text, line);) {
        if (std::regex_match(line, m, std::regex("callref (\\d+) (\\w+) size \\d+ message type (.*)")))
            reading += "|flag " + std::to_string(m[2] == "called") + "|cr " + m[1].str() + "|" + m[3].str();
        else if (std::regex_match(line, m, std::regex("  cause value (\\w+) : .*")))
            reading += "|cause " + std::to_string(std::stoi(m[1], nullptr, 16));
        else if (std::regex_match(line, m, std::regex("  (\\S.*)")))
            reading += "|" + std::regex_replace(m[1].str(), std::regex("attribute .*"), "Unknown");
    }
    return reading;
}

// tshark's reading of the frames written to a pcap file of link type 177: LAPD after the Linux
// header, whose direction says whether we, the network side, sent the frame or received it.
std::vector<std::string> tshark_reading(const std::vector<Bytes>& frames, const std::string& path)
{
    Bytes file = bytes("d4 c3 b2 a1 02 00 04 00 00 00 00 00 00 00 00 00 ff ff 00 00 b1 00 00 00");
    for (size_t i = 0; i < frames.size(); ++i) {
        Bytes record = bytes("0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 00 00 00 00 00 00 01 00 00 00 00 00 00 00 00 30");
        record[8] = record[12] = static_cast<unsigned char>(frames[i].size() + 16);
        record[17] = i % 2 ? 4 : 0;
        file.insert(file.end(), record.begin(), record.end());
        file.insert(file.end(), frames[i].begin(), frames[i].end());
    }
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(file.data()), file.size());
    FILE* tshark = popen(("tshark -r " + path + " -T pdml 2>/dev/null").c_str(), "r");
    std::string pdml;
    char chunk[4096];
    while (size_t n = fread(chunk, 1, sizeof chunk, tshark))
        pdml.append(chunk, n);
    pclose(tshark);

    // Names shown without their codes; Q.932 reads the supplementary-service elements.
    const std::regex field("<field name=\"q93[12].(call_ref_flag|call_ref|message_type|ie.type|information_element|"
                           "sending_complete|more_data|cause_value)\" showname=\"([^\"]*)\".* show=\"([^\"]*)\"");
    const std::regex colons(":"), field_word("call_ref_|_value");
    std::vector<std::string> readings;
    std::istringstream lines(pdml);
    std::smatch m;
    for (std::string line; std::getline(lines, line);) {
        if (line.find("<packet>") != std::string::npos)
            readings.emplace_back();
        else if (line.find("\"_ws.malformed\"") != std::string::npos)
            readings.back() = "|malformed";
        else if (!std::regex_search(line, m, field))
            continue;
        else if (m[1] == "call_ref")
            readings.back() += "|cr " + std::to_string(std::stoul(std::regex_replace(m[3].str(), colons, ""), 0, 16));
        else if (m[1] == "call_ref_flag" || m[1] == "cause_value")
            readings.back() += "|" + std::regex_replace(m[1].str(), field_word, "") + " " + m[3].str();
        else
            readings.back() += "|" + std::regex_replace(m[2].str(), std::regex("^[^:]*: | \\(0x..\\)$"), "");
    }
    return readings;
}

TEST(Dlogframe, ReadsTheFramesAsTsharkDoes)
{
    if (!foundationtest::tshark_available())
        GTEST_SKIP() << "tshark is not installed";
    std::vector<Bytes> frames;
    for (const char* frame :
         {"02 01 00 00 08 01 01 05 a1 04 03 80 90 a2 18 01 81 6c 06 00 80 31 32 33 34 70 05 81 35 36 37 38",
          "00 01 00 00 08 02 00 07 05 04 03 80 90 a3 18 03 a9 83 81 70 03 80 34 31",
          "02 85 02 02 08 02 80 07 02 18 03 a9 83 81", "00 01 02 02 08 01 81 01 1e 02 81 88",
          "00 01 04 02 08 01 81 07 28 05 48 65 6c 6c 6f", "02 01 04 04 08 01 01 0f",
          "02 01 06 04 08 01 01 45 08 02 80 90", "00 01 06 08 08 01 81 4d 08 02 81 91",
          "02 01 08 08 08 02 00 07 5a 08 03 00 81 90",
          "00 01 08 0a 08 01 81 7d 08 02 80 9e 14 01 0a", "02 01 0a 0a 08 01 01 75",
          "02 01 0c 0a 08 01 01 7b 50 02 01 02 2c 02 31 32", "02 01 0e 0a 08 01 01 7b a0 70 02 81 39",
          "00 01 0a 10 08 01 81 62 1c 06 91 a1 03 02 01 01", "00 01 0c 10 08 01 81 6e 27 01 f1",
          "02 01 10 10 08 02 00 00 46 18 03 a9 83 81 79 01 80", "00 01 0e 12 08 02 80 00 4e 79 01 80",
          "00 01 12 12 08 02 92 34 5a 08 02 82 e6", "fe ff 03 0f 12 34 01 ff", "02 01 01 05", "02 c9 7f",
          "02 ff 03 08 01 01 05 04 03 80 90 a3 a1", "02 01"})
        frames.push_back(bytes(frame));
    testsupport::TempRoot dir;
    const std::vector<std::string> theirs = tshark_reading(frames, dir / "/lapd.pcap");
    ASSERT_EQ(theirs.size(), frames.size());
    for (size_t i = 0; i < frames.size(); ++i)
        EXPECT_EQ(our_reading(frames[i], i % 2), theirs[i]) << "frame " << i;
}

}  // namespace
