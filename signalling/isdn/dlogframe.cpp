#include "signalling/isdn/dlogframe.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

namespace ISDN {

LogText logbuf;

namespace {

// Formatted writes into the text that stop at its end: what does not fit is left out, and the
// text always ends with a zero character.
class TextWriter {
public:
    explicit TextWriter(LogText& text) : text_(text) { text_[0] = '\0'; }

    void print(const char* format, ...) __attribute__((format(printf, 2, 3)))
    {
        const size_t room = logbuf_size - used_;
        if (room <= 1)
            return;
        va_list arguments;
        va_start(arguments, format);
        const int written = vsnprintf(text_ + used_, room, format, arguments);
        va_end(arguments);
        if (written > 0)
            used_ += std::min<size_t>(written, room - 1);
        text_[used_] = '\0';
    }

private:
    LogText& text_;
    size_t used_ = 0;
};

// `count` bits of an octet as '1' and '0', from bit `high` (7 is the most significant) down.
struct Bits {
    Bits(unsigned char octet, int high = 7, int count = 8)
    {
        for (int i = 0; i < count; ++i)
            text[i] = (octet >> (high - i)) & 1 ? '1' : '0';
        text[count] = '\0';
    }
    char text[9];
};

// The tables are searched from the top for the entry with the code.
template <class Entry, size_t N>
const Entry* find(const Entry (&table)[N], unsigned code)
{
    for (const Entry& entry : table)
        if (entry.code == code)
            return &entry;
    return nullptr;
}

struct MessageType {
    unsigned char code;
    const char* name;
};

const MessageType message_types[] = {
    {0x01, "ALERTING"},
    {0x02, "CALL PROCEEDING"},
    {0x07, "CONNECT"},
    {0x0F, "CONNECT ACKNOWLEDGE"},
    {0x03, "PROGRESS"},
    {0x05, "SETUP"},
    {0x0D, "SETUP ACKNOWLEDGE"},
    {0x24, "HOLD"},
    {0x28, "HOLD ACKNOWLEDGE"},
    {0x30, "HOLD REJECT"},
    {0x31, "RETRIEVE"},
    {0x33, "RETRIEVE ACKNOWLEDGE"},
    {0x37, "RETRIEVE REJECT"},
    {0x26, "RESUME"},
    {0x2E, "RESUME ACKNOWLEDGE"},
    {0x22, "RESUME REJECT"},
    {0x25, "SUSPEND"},
    {0x2D, "SUSPEND ACKNOWLEDGE"},
    {0x21, "SUSPEND REJECT"},
    {0x20, "USER INFORMATION"},
    {0x45, "DISCONNECT"},
    {0x4D, "RELEASE"},
    {0x5A, "RELEASE COMPLETE"},
    {0x46, "RESTART"},
    {0x4E, "RESTART ACKNOWLEDGE"},
    {0x60, "SEGMENT"},
    {0x79, "CONGESTION CONTROL"},
    {0x7B, "INFORMATION"},
    {0x62, "FACILITY"},
    {0x6E, "NOTIFY"},
    {0x7D, "STATUS"},
    {0x75, "STATUS ENQUIRY"},
};

struct Cause {
    unsigned char code;
    const char* text;
};

const Cause causes[] = {
    {0x01, "Unallocated (unassigned) number"},
    {0x02, "No route to specified transit network"},
    {0x03, "No route to destination"},
    {0x04, "Send special information tone"},
    {0x05, "Misdialled trunk prefix"},
    {0x06, "Channel unacceptable"},
    {0x07, "Channel awarded and being delivered in an established channel"},
    {0x08, "Preemption"},
    {0x09, "Preemption - circuit reserved for reuse"},
    {0x10, "Normal call clearing"},
    {0x11, "User busy"},
    {0x12, "No user responding"},
    {0x13, "No answer from user (user alerted)"},
    {0x14, "Subscriber absent"},
    {0x15, "Call rejected"},
    {0x16, "Number changed"},
    {0x1A, "non-selected user clearing"},
    {0x1B, "Destination out of order"},
    {0x1C, "Invalid number format (address incomplete)"},
    {0x1D, "Facility rejected"},
    {0x1E, "Response to Status enquiry"},
    {0x1F, "Normal, unspecified"},
    {0x22, "No circuit/channel available"},
    {0x26, "Network out of order"},
    {0x27, "Permanent frame mode connection out-of-service"},
    {0x28, "Permanent frame mode connection operational"},
    {0x29, "Temporary failure"},
    {0x2A, "Switching equipment congestion"},
    {0x2B, "Access information discarded"},
    {0x2C, "Requested circuit/channel not available"},
    {0x2E, "Precedence call blocked"},
    {0x2F, "Resource unavailable, unspecified"},
    {0x31, "Quality of service unavailable"},
    {0x32, "Requested facility not subscribed"},
    {0x35, "Outgoing calls barred within CUG"},
    {0x37, "Incoming calls barred within CUG"},
    {0x39, "Bearer capability not authorized"},
    {0x3A, "Bearer capability not presently available"},
    {0x3E, "Inconsistency in designated outgoing access information and subscriber class "},
    {0x3F, "Service or option not available, unspecified"},
    {0x41, "Bearer capability not implemented"},
    {0x42, "Channel type not implemented"},
    {0x43, "Requested facility not implemented"},
    {0x44, "Only restricted digital information bearer capability is available"},
    {0x4F, "Service or option not implemented"},
    {0x51, "Invalid call reference value"},
    {0x52, "Identified channel does not exist"},
    {0x53, "A suspended call exists, but this call identity does not"},
    {0x54, "Call identity in use"},
    {0x55, "No call suspended"},
    {0x56, "Call having the requested call identity has been cleared"},
    {0x57, "User not member of CUG"},
    {0x58, "Incompatible destination"},
    {0x5A, "Non-existent CUG"},
    {0x5B, "Invalid transit network selection"},
    {0x5F, "Invalid message, unspecified"},
    {0x60, "Mandatory information element is missing"},
    {0x61, "Message type non-existent or not implemented"},
    {0x62, "Message not compatible with call state or message type non-existent or not implemented "},
    {0x63, "Information element/parameter non-existent or not implemented"},
    {0x64, "Invalid information element contents"},
    {0x65, "Message not compatible with call state"},
    {0x66, "Recovery on timer expiry"},
    {0x67, "Parameter non-existent or not implemented - passed on"},
    {0x6E, "Message with unrecognized parameter discarded"},
    {0x6F, "Protocol error, unspecified"},
    {0x7F, "Interworking, unspecified"},
};

// The printers of an element's contents: the octets from octet 3 on, as far as the frame goes.

void print_general(TextWriter& out, const unsigned char* contents, unsigned length)
{
    unsigned number = 3;
    unsigned char letter = ' ';
    for (unsigned i = 0; i < length; ++i) {
        out.print("    octet %u%c %s\n", number, letter, Bits(contents[i]).text);
        if (i + 1 < length && (contents[i + 1] & 0x80)) {
            ++number;
            letter = ' ';
        } else {
            letter = letter == ' ' ? 'a' : letter + 1;
        }
    }
}

void print_bearer(TextWriter& out, const unsigned char* contents, unsigned length)
{
    if (length < 1)
        return;
    out.print("    octet 3  %s\n", Bits(contents[0]).text);
    if (length < 2)
        return;
    out.print("    octet 4  %s\n", Bits(contents[1]).text);
    unsigned next = 2;
    if ((contents[1] & 0x1F) == 0x18 && next < length)
        out.print("    octet 4.1 %s\n", Bits(contents[next++]).text);
    if (next < length && (contents[next] & 0x60) == 0x20) {
        for (unsigned char letter = ' '; next < length; letter = letter == ' ' ? 'a' : letter + 1) {
            const unsigned char octet = contents[next++];
            out.print("    octet 5%c %s\n", letter, Bits(octet).text);
            if (octet & 0x80)
                break;
        }
    }
    if (next < length && (contents[next] & 0x60) == 0x40)
        out.print("    octet 6  %s\n", Bits(contents[next++]).text);
    if (next < length && (contents[next] & 0x60) == 0x60)
        out.print("    octet 7  %s\n", Bits(contents[next]).text);
}

void print_cause(TextWriter& out, const unsigned char* contents, unsigned length)
{
    if (length < 1)
        return;
    out.print("    coding %s location %s\n", Bits(contents[0], 6, 2).text, Bits(contents[0], 3, 4).text);
    // The cause octet follows the last octet of the location group (bit 8 set).
    unsigned at = 0;
    while (at < length && !(contents[at] & 0x80))
        ++at;
    if (++at >= length)
        return;
    const unsigned value = contents[at] & 0x7F;
    if (const Cause* cause = find(causes, value))
        out.print("  cause value %x : %s \n", value, cause->text);
    else
        out.print("Unknown cause type %x!\n", value);
    // Diagnostics: attribute, rejection and, unless the rejection octet ends the group, a value.
    while (at + 1 < length) {
        out.print("    diag attribute %d ", contents[at + 1] & 0x7F);
        if (at + 2 < length)
            out.print(" rej %d ", contents[at + 2] & 0x7F);
        if (at + 3 >= length || (contents[at + 2] & 0x80)) {
            out.print("\n");
            return;
        }
        out.print(" av %d\n", contents[at + 3] & 0x7F);
        at += 3;
    }
}

void print_channel(TextWriter& out, const unsigned char* contents, unsigned length)
{
    if (length >= 1)
        out.print("    octet 3 %s\n", Bits(contents[0]).text);
}

// Octet 3, the optional octet 3a when octet 3 says it follows, then the digits.
void print_number(TextWriter& out, const unsigned char* contents, unsigned length, bool with_3a)
{
    if (length < 1)
        return;
    out.print("    octet 3 %s\n", Bits(contents[0]).text);
    unsigned digits = 1;
    if (with_3a && !(contents[0] & 0x80) && digits < length)
        out.print("    octet 3a %s\n", Bits(contents[digits++]).text);
    out.print("    number digits %.*s\n", int(length - digits), reinterpret_cast<const char*>(contents + digits));
}

void print_called(TextWriter& out, const unsigned char* contents, unsigned length)
{
    print_number(out, contents, length, false);
}

void print_calling(TextWriter& out, const unsigned char* contents, unsigned length)
{
    print_number(out, contents, length, true);
}

void print_facility(TextWriter& out, const unsigned char* contents, unsigned length)
{
    if (length < 1)
        return;
    out.print("    octet 3 %s\n", Bits(contents[0]).text);
    for (unsigned at = 1; at < length;) {
        out.print("   octet 4 %s\n", Bits(contents[at]).text);
        if (at + 1 >= length)
            return;
        const unsigned component = contents[at + 1] & 0x7F;
        out.print("   octet 5 %u\n   contents ", component);
        const unsigned from = at + 2;
        for (unsigned i = from; i < std::min(from + component, length); ++i)
            out.print("%2x ", contents[i]);
        out.print("\n");
        at = from + component;
    }
}

void print_display(TextWriter& out, const unsigned char* contents, unsigned length)
{
    out.print("   \"%.*s\"\n", int(length), reinterpret_cast<const char*>(contents));
}

struct Element {
    unsigned char code;
    const char* name;
    void (*printer)(TextWriter&, const unsigned char*, unsigned);
};

const Element elements[] = {
    {0x00, "Segmented message", print_general},
    {0x04, "Bearer capability", print_bearer},
    {0x08, "Cause", print_cause},
    {0x10, "Call identity", print_general},
    {0x14, "Call state", print_general},
    {0x18, "Channel identification", print_channel},
    {0x1C, "Facility", print_facility},
    {0x1E, "Progress indicator", print_general},
    {0x20, "Network-specific facilities", print_general},
    {0x27, "Notification indicator", print_general},
    {0x28, "Display", print_display},
    {0x29, "Date/Time", print_general},
    {0x2C, "Keypad facility", print_general},
    {0x34, "Signal", print_general},
    {0x40, "Information rate", print_general},
    {0x42, "End-to-end delay", print_general},
    {0x43, "Transit delay selection and indication", print_general},
    {0x44, "Packet layer binary parameters", print_general},
    {0x45, "Packet layer window size", print_general},
    {0x46, "Packet size", print_general},
    {0x47, "Closed user group", print_general},
    {0x4A, "Reverse charge indication", print_general},
    {0x6C, "Calling party number", print_calling},
    {0x6D, "Calling party subaddress", print_general},
    {0x70, "Called party number", print_called},
    {0x71, "Called party subaddress", print_general},
    {0x74, "Redirecting number", print_general},
    {0x78, "Transit network selection", print_general},
    {0x79, "Restart indicator", print_general},
    {0x7C, "Low layer compatibility", print_general},
    {0x7D, "High layer compatibility", print_general},
    {0x7E, "User-user", print_general},
    {0x7F, "Escape for extension", print_general},
};

void print_single_octet_element(TextWriter& out, unsigned char octet)
{
    switch ((octet >> 4) & 7) {
    case 1:
        out.print("  Shift %x\n", octet & 0x0F);
        break;
    case 2:
        if (octet == 0xA0)
            out.print("  More data\n");
        else if (octet == 0xA1)
            out.print("  Sending complete\n");
        break;
    case 3:
        out.print("  Congestion level %x\n", octet & 0x0F);
        break;
    case 5:
        out.print("  Repeat indicator %x\n", octet & 0x0F);
        break;
    default:
        out.print("  Reserved %x\n", octet);
    }
}

// The information elements up to the frame's end; an element cut by the end is shown as far as
// the frame goes.
void print_elements(TextWriter& out, const unsigned char* octets, unsigned length)
{
    for (unsigned at = 0; at < length;) {
        const unsigned char id = octets[at];
        if (id & 0x80) {
            print_single_octet_element(out, id);
            ++at;
            continue;
        }
        if (at + 1 >= length)
            return;
        const unsigned declared = octets[at + 1];
        at += 2;
        if (const Element* element = find(elements, id)) {
            out.print("  %s\n", element->name);
            element->printer(out, octets + at, std::min(declared, length - at));
        } else {
            out.print("  attribute %x attribute size %u\n", id, declared);
        }
        at += declared;
    }
}

// The address line; the offset of the layer-3 part, or 0 when nothing more is shown.
unsigned print_address(TextWriter& out, const unsigned char* frame, unsigned length)
{
    const unsigned sapi = frame[0] >> 2;
    const unsigned tei = frame[1] >> 1;
    const unsigned char control = frame[2];
    if (tei == 127) {
        if (sapi == 63)
            out.print("tei management:\n");
        else if (sapi != 0)
            out.print("unknown sapi %u broadcast\n", sapi);
        else if (control != 0x03)
            out.print("no UI broadcast\n");
        else {
            out.print("broadcast\n");
            return 3;
        }
        return 0;
    }
    if (sapi != 0) {
        out.print("unknown sapi = %u; tei = %u\n", sapi, tei);
        return 0;
    }
    if (control & 1) {
        out.print("SFrame tei = %u (", tei);
        for (unsigned i = 2; i < length; ++i)
            out.print("%02X ", frame[i]);
        out.print(")\n");
        return 0;
    }
    out.print("IFrame tei = %u\n", tei);
    return 4;
}

// The call reference, message type and elements of a Q.931 message.
void print_message(TextWriter& out, const unsigned char* message, unsigned size)
{
    if (size < 2)
        return;
    // The call reference fills the low four bits' worth of octets: one on a basic-rate, two on a
    // primary-rate interface. Bit 8 of its first octet is the flag, the other bits the value.
    const unsigned reference_length = message[1] & 0x0F;
    const unsigned type_at = 2 + reference_length;
    if (type_at >= size)
        return;
    const unsigned flag = reference_length > 0 ? message[2] >> 7 : 0;
    unsigned long long reference = 0;
    for (unsigned i = 0; i < reference_length; ++i)
        reference = reference << 8 | (i == 0 ? message[2] & 0x7F : message[2 + i]);
    const unsigned char type = message[type_at];
    out.print("callref %llu %s size %u ", reference, flag ? "called" : "caller", size);
    if (const MessageType* known = find(message_types, type))
        out.print("message type %s\n", known->name);
    else
        out.print("unknown message type %x!\n", type);
    print_elements(out, message + type_at + 1, size - type_at - 1);
}

}  // namespace

void dlogframe(const unsigned char* frame, unsigned length, bool network_to_user, LogText& text)
{
    TextWriter out(text);
    if (!frame || length < 3)
        return;
    for (unsigned i = 0; i < length; ++i)
        out.print(" %02X", frame[i]);
    out.print("\n");
    out.print("frame %s ", network_to_user ? "network->user" : "user->network");
    const unsigned layer3 = print_address(out, frame, length);
    if (layer3 == 0)
        return;
    if (layer3 >= length) {
        out.print("frame too short\n");
        return;
    }
    if (frame[layer3] != 0x08) {
        out.print("Unknown protocol %x!", frame[layer3]);
        return;
    }
    print_message(out, frame + layer3, length - layer3);
}

}  // namespace ISDN
