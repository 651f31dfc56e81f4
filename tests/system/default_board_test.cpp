// The board that scripts/run.sh starts, emulator/boards/default.board, as the daemon meets it; and
// what the emulator makes of a board description it cannot apply.

#include "gateway.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

using namespace systemtest;

const milliseconds answer_time(10000);

std::string default_board()
{
    return (std::filesystem::path(__FILE__).parent_path().parent_path().parent_path() / "emulator" / "boards" /
            "default.board")
        .string();
}

TEST(DefaultBoard, QueryListsItsMixerUnitsVoiceChannelsAndModemsAndThePlayerPlaysItsPrompt)
{
    Gateway::Options options;
    options.board = default_board();
    Gateway gateway(options);
    auto controller = gateway.controller();
    controller->send("{ seq 1, pdu command : query : NULL }");
    const std::string unit = "tdm_inputs 64, tdm_outputs 64, mixer_inputs 128, dpu_per_mixer 770, dpu_per_ec 17, "
                             "dpu_per_lms 24 }";
    EXPECT_EQ(controller->wait_for("pdu signal : query", answer_time),
              "{ pdu signal : query : { boardMajor 0, boardMinor 0, rtp-g729 60, rtp-g723 60, rtp-g711 120, "
              "rtp-g711mcc 30, modem 8, mixer { { unit 0, " + unit + ", { unit 1, " + unit + " }, mux TRUE, "
              "mcc-data 32, mcc-bri 8, mcc-trans 64, echoBus { }, t38-instances 0, digital-modems 0, lin16 0, "
              "universal 120 } }");

    // The prompt: a 20-octet period of a 400 Hz tone, 100 times; the player's channel plays it out.
    controller->send("{ seq 2, slot 1, pdu command : create : trunk : { trunk 0, timeslot 1 } }");
    controller->send("{ seq 3, slot 2, pdu command : create : voice : player : file : { name { \"welcome\" }, "
                     "repeat 1 } }");
    controller->send("{ seq 4, slot 2, pdu command : connect : 1 }");
    EXPECT_TRUE(controller->wait_for("{ slot 2, pdu signal : abort : 0 }", answer_time));
    std::string prompt = gateway.root.read_file("/usr/local/voice/welcome");
    EXPECT_EQ(prompt.size(), 2000u);
    EXPECT_EQ(prompt.substr(0, 20), prompt.substr(1980));
    EXPECT_TRUE(eventually([&] { return gateway.board.capture(256) == prompt; }, answer_time));

    // Text items keep their spaces.
    EXPECT_EQ(gateway.root.read_file("/proc/driver/hdlc/peb22554/3").substr(0, 39),
              "Current state           : Synchronized\n");
    EXPECT_EQ(gateway.board.state("/dev/hal", "sensors"), std::vector<std::string>{"power=3 dip=21 leds=0"});
}

TEST(BoardDescription, TheEmulatorDoesNotStartOnALineItCannotApplyAndNamesIt)
{
    const std::pair<const char*, const char*> faults[] = {
        {"set /dev/mixer unit 0 channels=999 inputs=1", "no such setting of /dev/mixer"},
        {"bytes /usr/local/voice/x D5*0", "not hexadecimal bytes: D5*0"},
        {"text usr/local/voice/x hello", "not an absolute path of the board: usr/local/voice/x"},
        {"text /../x hello", "not an absolute path of the board: /../x"},
        {"journal clear", "not a board item: journal clear"},
    };
    for (const auto& [line, reason] : faults) {
        testsupport::TempRoot root;
        std::string file = root / "/bad.board";
        root.write_file("/bad.board", std::string("# a board\n\n") + line + "\n");
        try {
            testsupport::EmulatorProcess emulator(root.path(), file);
            ADD_FAILURE() << "started with " << line;
        } catch (const std::runtime_error& failure) {
            EXPECT_NE(std::string(failure.what()).find(file + ":3: " + reason + "\n"), std::string::npos)
                << failure.what();
        }
    }
}

}  // namespace
