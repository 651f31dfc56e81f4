#include "signalling/isdn/lapd_nt.h"

#include "signalling/head_room.h"
#include "signalling/isdn/tei_management.h"

#include <iostream>
#include <new>
#include <string>

namespace ISDN {

namespace {

constexpr unsigned header_size = 4;
constexpr unsigned check_cycle_ms = 60000;
constexpr unsigned first_automatic_tei = 64;
constexpr uint8_t setup = 0x05;

using namespace TeiManagement;

// How a drop line names the call of a Q.931 message: its call reference value and flag, or the
// dummy call reference, which names none.
std::string call_reference_text(const Packet& message)
{
    const unsigned length = message[1] & 0x0F;
    if (length == 0)
        return "the dummy call reference";
    unsigned long long value = message[2] & 0x7F;
    for (unsigned at = 3; at < 2 + length && at < message.length(); ++at)
        value = value << 8 | message[at];
    return "call reference " + std::to_string(value) + " (flag " + std::to_string(message[2] >> 7) + ")";
}

}  // namespace

LAPD_NT::LAPD_NT()
{
    for (LAPD_NT_user& user : users_)
        user.set_lapd(this);
}

void LAPD_NT::local_prepare_head(Packet& p) { p.reserve_head(header_size); }

void LAPD_NT::local_prepare_tail(Packet&) {}

std::ostream& LAPD_NT::line() const
{
    // The lines are written only with a trace level.
    static std::ostream silent(nullptr);
    return log_ ? std::clog << "LAPD(NT BRI):" : silent;
}

void LAPD_NT::set_log(unsigned int level)
{
    log_ = level;
    for (LAPD_NT_user& user : users_)
        user.set_log(level);
}

void LAPD_NT::local_activate()
{
    line() << "activate" << std::endl;
    check_all_Tei();
    on_activate();
}

void LAPD_NT::local_deactivate()
{
    line() << "deactivate" << std::endl;
    check_timer_.reset();
    for (LAPD_NT_user& user : users_)
        user.unassign();
}

void LAPD_NT::check_all_Tei()
{
    line() << "Checking Tei values...." << std::endl;
    check_timer_.reset();
    for (LAPD_NT_user& user : users_)
        user.checking();
    tx_identity(0, group_tei, identity_check_request);
    check_timer_.set(check_cycle_ms, &LAPD_NT::check_all_Tei, this);
}

LAPD_NT_user* LAPD_NT::find_Tei(unsigned char tei)
{
    for (LAPD_NT_user& user : users_)
        if (user.tei() == tei && user.state() != LAPD_NT_user::unassigned)
            return &user;
    return nullptr;
}

LAPD_NT_user* LAPD_NT::find_free_Tei(unsigned char tei)
{
    unsigned value = tei;
    if (tei == group_tei) {
        value = first_automatic_tei;
        while (value < group_tei && find_Tei(uint8_t(value)))
            ++value;
        if (value == group_tei)
            return nullptr;
    }
    LAPD_NT_user* free = freed_holder(uint8_t(value));
    if (!free)
        for (LAPD_NT_user& user : users_)
            if (user.state() == LAPD_NT_user::unassigned && (!free || (free->holds_calls() && !user.holds_calls())))
                free = &user;
    if (free)
        free->set_tei(uint8_t(value));
    return free;
}

LAPD_NT_user* LAPD_NT::freed_holder(unsigned char tei)
{
    for (LAPD_NT_user& user : users_)
        if (user.state() == LAPD_NT_user::unassigned && user.tei() == tei)
            return &user;
    return nullptr;
}

void LAPD_NT::tx_identity(unsigned short Ri, int Ai, unsigned char type)
{
    try {
        Packet frame;
        frame.reserve_head(0);
        for (uint8_t octet : {0xFE, 0xFF, int(ui), int(management_entity), Ri & 0xFF, Ri >> 8, int(type),
                              (Ai << 1 | 1) & 0xFF})
            frame.put(octet);
        send_to_layer1(frame);
    } catch (const std::bad_alloc&) {
    }
}

void LAPD_NT::remove_twice(unsigned ai)
{
    tx_identity(0, int(ai), identity_remove);
    tx_identity(0, int(ai), identity_remove);
}

void LAPD_NT::message(Packet& p)
{
    if (p.length() <= 3) {
        std::cerr << "LAPD(NT BRI):message of " << p.length() << " octets names no call, message dropped"
                  << std::endl;
        return refuse(Protocol_status_refused::Reason::no_destination, "message too short");
    }
    if (p[3] == setup) {
        try {
            make_head_room(p, 3);
        } catch (const std::bad_alloc&) {
            return;
        }
        p.push(ui);
        p.push(0xFF);
        p.push(0x02);
        return send_to_layer1(p);
    }
    if (LAPD_NT_user* user = holder(p)) {
        if (!user->message(p))
            refuse(Protocol_status_refused::Reason::queue_full, "the terminal's send queue is full");
        return;
    }
    std::cerr << "LAPD(NT BRI):no terminal holds " << call_reference_text(p) << ", message dropped" << std::endl;
    refuse(Protocol_status_refused::Reason::no_destination, "no terminal holds the call");
}

LAPD_NT_user* LAPD_NT::holder(const Packet& p)
{
    LAPD_NT_user* latest = nullptr;
    uint64_t named_last = 0;
    for (LAPD_NT_user& user : users_)
        if (const uint64_t named = user.named(p); named > named_last)
            latest = &user, named_last = named;
    return latest;
}

void LAPD_NT::refuse(Protocol_status_refused::Reason reason, const char* why)
{
    on_status(new Protocol_status_refused(this, reason, why));
}

void LAPD_NT::receive(Packet& frame)
{
    if (frame.length() <= 2 || (frame[0] & 1) || !(frame[1] & 1))
        return;
    const unsigned sapi = frame[0] >> 2, tei = frame[1] >> 1;
    const bool response = frame[0] & 2;
    if (tei == group_tei) {
        if (frame[2] != ui)
            return;
        if (sapi == management_sapi)
            return tei_management(frame);
        frame.pull(3);
        return send_to_layer3(frame);
    }
    LAPD_NT_user* user = find_Tei(uint8_t(tei));
    if (!user) {
        // The terminal whose TEI was freed, unless the TEI was given to another since.
        LAPD_NT_user* const freed = freed_holder(uint8_t(tei));
        user = freed ? freed : find_free_Tei(uint8_t(tei));
        if (!user) {
            line() << "recieved packet with unassigned TEI=" << tei << ",removed" << std::endl;
            return remove_twice(tei);
        }
        line() << "Warning:recieved packet with unassigned TEI=" << tei << std::endl;
        freed ? user->resume() : user->assign();
    }
    user->receive(frame, response);
}

void LAPD_NT::tei_management(const Packet& frame)
{
    if (frame.length() < 3 + 5 || frame[3] != management_entity)
        return;
    const unsigned ri = frame[4] | frame[5] << 8, type = frame[6], ai = frame[7] >> 1;
    switch (type) {
    case identity_request:
        if (ai < first_automatic_tei) {
            line() << "recieved identity request with wrong Ai=" << ai << ",ignored" << std::endl;
        } else if (ai < group_tei) {
            line() << "recieved identity request with wrong Ai=" << ai << ",denied" << std::endl;
            tx_identity(uint16_t(ri), int(ai), identity_denied);
        } else if (LAPD_NT_user* user = find_free_Tei(group_tei)) {
            line() << "recieved identity request,TEI assigned:" << unsigned(user->tei()) << std::endl;
            tx_identity(uint16_t(ri), user->tei(), identity_assigned);
            user->assign();
        } else {
            line() << "recieved identity request, but all TEI values is ussigned" << std::endl;
            tx_identity(uint16_t(ri), group_tei, identity_denied);
        }
        break;
    case identity_check_response:
        on_check_response(ri, ai);
        break;
    case identity_verify:
        line() << "recieved verify request" << std::endl;
        check_all_Tei();
        break;
    }
}

void LAPD_NT::on_check_response(unsigned ri, unsigned ai)
{
    if (ai == group_tei) {
        line() << "recieved check response with wrong Ai=" << ai << ",removed" << std::endl;
        return remove_twice(ai);
    }
    LAPD_NT_user* user = find_Tei(uint8_t(ai));
    // A late answer under a freed TEI that nobody was given since: its terminal, calls and all.
    LAPD_NT_user* const freed = user ? nullptr : freed_holder(uint8_t(ai));
    if (!user && !(user = freed ? freed : find_free_Tei(uint8_t(ai)))) {
        line() << "recieved check response with wrong Ai=" << ai << ",removed" << std::endl;
        return remove_twice(ai);
    }
    if (user->state() != LAPD_NT_user::unassigned && !user->is_checking()) {
        if (ri == user->ri())
            return;
        // A second terminal answers for the same TEI: both lose it.
        line() << "recieved check response with dublicated Ai=" << ai << ",removed" << std::endl;
        user->remove();
        return remove_twice(ai);
    }
    line() << "TEI " << ai << " checked" << std::endl;
    freed ? user->resume() : user->assign();
    user->set_ri(uint16_t(ri));
}

}  // namespace ISDN
