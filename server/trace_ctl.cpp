#include "server/trace_ctl.h"

#include "foundation/config/ini_file.h"
#include "foundation/config/ini_reader.h"

#include <iostream>

TraceCtl traces;

void TraceCtl::Configure(IniFile::Section& section)
{
    for (IniFile::SubSection& subsection : section)
        Configure(subsection);
}

void TraceCtl::Configure(IniFile::SubSection& subsection)
{
    *this = TraceCtl();
    IniFile::Reader reader("traces: ", std::cerr);
    reader.optional.add(&hdlc, "signalling.hdlc");
    reader.optional.add(&lemzgw, "signalling.lemzgw");
    reader.optional.add(&events, "signalling.events");
    reader.optional.add(&isdn, "signalling.isdn");
    reader.optional.add(&monitoring, "monitoring.internal");
    reader.parse(subsection);
}
