#pragma once

// Process-wide switches for extra diagnostic output, read once at start-up from the "traces"
// section of the configuration file and only read afterwards.

namespace IniFile {
class Section;
class SubSection;
}  // namespace IniFile

class TraceCtl {
public:
    // Every sub-section in file order; each one starts from all switches off, so the last
    // "traces" section of the file alone decides.
    void Configure(IniFile::Section& section);
    // Complaints about the keys go to the error stream behind "traces: "; they never stop the caller.
    void Configure(IniFile::SubSection& subsection);

    bool hdlc = false;        // "signalling.hdlc": HDLC channels and slots
    bool lemzgw = false;      // "signalling.lemzgw"
    bool events = false;      // "signalling.events": DSP receiver events
    bool isdn = false;        // "signalling.isdn": ISDN slots
    bool monitoring = false;  // "monitoring.internal": the monitoring service
};

extern TraceCtl traces;
