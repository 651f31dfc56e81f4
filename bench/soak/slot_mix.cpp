#include "soak/slot_mix.h"

namespace soak {

namespace {

// Offsets of the slots of a round from its first slot number.
enum Offset {
    e1_a, e1_b, bri, map, ext, echo, mixer_out, mixer_in, player, recorder, dsp_modem, digital_modem, fax_line, fax,
    t38, rtp, lemz, ed137, ss7_line, ss7, pri, bri_network, cas, isdn, qsig, qsig_b, mcc, hdlc, pri_network, extra
};

std::string n(int value) { return std::to_string(value); }

std::string e1(int trunk, int timeslot)
{
    return "create : trunk : { trunk " + n(trunk) + ", timeslot " + n(timeslot) + " }";
}

std::string create_rtp(const std::string& payload, const std::string& radio)
{
    return "create : rtp : { codecRTP { payload " + payload + ", dhost { iaddr \"127.0.0.1\", port 30000 }" +
           radio + " }, txPayload " + payload + ", rxPayload " + payload + " }";
}

const std::string lemz_flags = "{ prio 3, ptt FALSE, bss TRUE, vad-rx FALSE, vad-tx FALSE, sql FALSE, sh FALSE, "
                               "pwr FALSE, rv FALSE, resv FALSE, selcall 1, li 5 }";
const std::string modem_addresses = "{ remoteAddr \"10.0.0.2\", netmask \"255.255.255.0\", gateway \"10.0.0.1\", "
                                    "dns \"10.0.0.53\", mtu 1500 }";

}  // namespace

int SlotMix::base(int round) { return round % 32 * 32; }

std::vector<Command> SlotMix::build(int round) const
{
    const int b = base(round);
    auto at = [b](int offset) { return b + offset; };
    const int ts = 1 + round % 15;  // E1 time slots ts and ts + 15 of trunk 0, ts of trunk 1
    const int unit = round % 2;
    const std::string record_host = "{ iaddr \"127.0.0.1\", port " + n(settings_.record_port) + " }";
    std::vector<Command> commands{
        {at(e1_a), e1(0, ts)},
        {at(e1_b), e1(0, ts + 15)},
        {at(bri), "create : trunk_bri : { trunk " + n(round % 8) + ", timeslot " + n(1 + round % 2) + " }"},
        {at(e1_a), "connect : " + n(at(e1_b))},
        {at(e1_b), "connect : " + n(at(bri))},
        {at(map), "create : map : { receiver { bus 0, channel " + n(round % 128) + " } }"},
        {at(ext), "create : ext : { transmitter " + n(round % 64) + ", receiver " + n(64 + round % 64) + " }"},
        {at(ext), "connect : " + n(at(map))},
        {at(echo), "create : echo : { bus 0, channel 1 }"},
        {at(mixer_out), "create : mixerOut : { unit " + n(unit) + ", channel tdm : 1, inputs { } }"},
        {at(mixer_in), "create : mixerIn : { unit " + n(unit) + ", channel tdm : 2, summator tdm : 1 }"},
        {at(e1_a), "connect : " + n(at(mixer_in))},
        {at(player), "create : voice : player : file : { name { \"welcome\" }, repeat 1 }"},
        {at(player), "connect : " + n(at(e1_a))},
        {at(recorder), "create : voice : record : " + record_host},
        {at(bri), "connect : " + n(at(recorder))},
        {at(dsp_modem), "create : modem : { cid \"1\", cdid \"2\" }"},
        {at(dsp_modem), "connect : " + n(at(e1_a))},
        {at(dsp_modem), "activate : modem : " + modem_addresses},
        {at(fax_line), e1(1, ts + 15)},
        {at(fax), "create : modem : { cid \"\", cdid \"\", fax NULL }"},
        {at(fax_line), "connect : " + n(at(fax))},
        {at(t38), "create : t38soft : { dhost { iaddr \"127.0.0.1\", port 4000 }, shost { iaddr \"127.0.0.1\", port "
                  "5000 }, rx-packet-size 160, rx-threshold 1, tx-threshold 2, args { \"-v\" } }"},
        {at(rtp), create_rtp("ptG711-Alaw", "")},
        {at(rtp), "connect : " + n(at(e1_b))},
        {at(rtp), "ioctl : dtmf-enable : TRUE"},
        {at(rtp), "ioctl : encoder-mode : alaw"},
        {at(rtp), "ioctl : vad-enable : TRUE"},
        {at(lemz), create_rtp("ptG729", ", radio { status lemz : { flags " + lemz_flags +
                                     ", freq { channel 3, frequency \"145.5\" }, remote { no 1, ch 2 }, squelshe on, "
                                     "rte h3e, standby-state-channel active, standby-group 7, standby-state-receiver "
                                     "standby } }")},
        {at(lemz), "ioctl : rtpExt : lemz : { addr { session-addr \"127.0.0.5\", session-ssrc 9 }, params wm-flags : "
                   "{ flags " + lemz_flags + " } }"},
        {at(ed137), create_rtp("ptG729", ", pfactor 2, radio { status ed-137 : { header { ptt ptt-off, squ squ-on, ptt-id 9, "
                                  "ptt-mute FALSE, ptt-summation TRUE, sct TRUE } } }")},
        {at(ed137), "ioctl : rtpExt : ed-137 : { addr { session-addr \"10.0.0.5\", session-ssrc 7 }, params rx : { "
                    "header { ptt normal-ptt-on, squ squ-on, ptt-id 5, ptt-mute FALSE, ptt-summation FALSE, sct FALSE "
                    "} } }"},
        {at(ss7_line), e1(1, ts)},
        {at(ss7), "create : pstn : ss7 : { trunk 1, slc 0, dpc 2, opc 1, emergency FALSE }"},
        {at(ss7_line), "connect : " + n(at(ss7))},
        {at(ss7), "ioctl : ss7RqBSN : NULL"},
        {at(ss7), "userData : '81020400001122'H"},
        {at(pri), "create : pstn : isdn : { type pri, trunk 2, log 0, side user : NULL }"},
        {at(pri), "activate : empty : NULL"},
        {at(pri), "userData : '08010505'H"},
        {at(bri_network), "create : pstn : isdn : { type bri, trunk " + n(round % 8) + ", log 0, side network : NULL }"},
        {at(cas), "create : pstn : cas : { trunk 3 }"},
        {at(cas), "ioctl : cas : { channel { path 3, timeslot " + n(ts) + " }, cmd get : NULL }"},
        {at(isdn), "create : isdn : { type bri, trunk " + n((round + 4) % 8) + ", log 0, side user : NULL }"},
        {at(isdn), "activate : empty : NULL"},
        {at(isdn), "userData : '08010505A104038090A3'H"},
        {at(qsig), "create : ats-qsig : { side network : NULL, log 0 }"},
        {at(qsig), "activate : empty : NULL"},
        {at(qsig_b), "create : ats-qsig-b : { slot " + n(at(qsig)) + ", subslot 1 }"},
        {at(qsig), "userData : '0801050F'H"},
        {at(mcc), "create : mcc : { type data, mode standard }"},
        {at(mcc), "userData : '0102030405'H"},
        {at(hdlc), "create : hdlcParams : { trunk 1, log 0, address 258 }"},
        {at(hdlc), "ioctl : hdlcPackages : { { body '0102'H }, { body '030405'H } }"},
        {at(pri_network), "create : isdn : { type pri, trunk 3, log 0, side network : NULL }"},
        {at(pri_network), "activate : empty : NULL"},
        {at(e1_a), "disconnect : NULL"},
        {at(e1_a), "connect : " + n(at(e1_b))},
        {-1, "ping : NULL"},
        // The monitoring service: the framers' LEDs and the trap receivers.
        {-1, "display : framer : { e1 " + n(round % 4) + ", info line : " + (round % 2 ? "TRUE" : "FALSE") + " }"},
        {-1, "display : snmpTrapReceivers : { \"127.0.0.1\" }"},
    };
    if (settings_.digital_modems) {
        commands.push_back({at(digital_modem), "create : modem : { cid \"\", cdid \"\", ddm { ddm8BIT } }"});
        commands.push_back({at(extra), e1(2, ts)});
        commands.push_back({at(extra), "connect : " + n(at(digital_modem))});
    }
    return commands;
}

std::vector<Command> SlotMix::teardown(int round) const
{
    std::vector<Command> commands;
    for (int offset = 0; offset < slots_per_round; ++offset)
        if (offset != digital_modem || settings_.digital_modems)
            commands.push_back({base(round) + offset, "destroy : NULL"});
    return commands;
}

std::vector<std::string> SlotMix::frames(int round) const
{
    // A Q.921 UI frame with a Q.931 SETUP, an RR and an SS7 FISU, changing from round to round.
    const std::string counter = n(10 + round % 80);
    return {"020103080105" + counter + "05A104038090A3", "020101" + counter, "8080" + counter};
}

}  // namespace soak
