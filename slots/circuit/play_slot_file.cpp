#include "slots/circuit/play_slot_file.h"

#include "foundation/os/fixed_path.h"
#include "foundation/util/ext_header.h"
#include "foundation/util/ext_quoted.h"

#include <fcntl.h>
#include <iostream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char* voice_directory = "/usr/local/voice/";
constexpr unsigned file_buffer = 8192;

// Sub-directories are fine; a way out of the voice directory is not.
bool inside_voice_directory(const std::string& name)
{
    if (!name.empty() && name[0] == '/')
        return false;
    std::istringstream components(name);
    for (std::string component; std::getline(components, component, '/');)
        if (component == "..")
            return false;
    return true;
}

}  // namespace

PlaySlotFile::PlaySlotFile(Fd channel, const LGCP::PlayerParams_file& params)
    : PlaySlotGeneric(channel), repeat(params.get_repeat().getValue())
{
    abortCall.Bind(this, &PlaySlotFile::delayed_abort);
    for (const ASN1::IA5String& name : params.get_name()) {
        if (inside_voice_directory(name.getValue()))
            names.push_back(name.getValue());
        else
            std::cerr << ext::header(this) << "prompt " << ext::quoted(name.getValue()) << " is outside "
                      << voice_directory << ", skipped" << std::endl;
    }
    next = names.begin();
}

PlaySlotFile::~PlaySlotFile() { file.close(); }

bool PlaySlotFile::IOnOutputStream()
{
    if (!started) {
        if (!restart()) {
            abortCall.Activate();
            return false;
        }
        started = true;
    }
    OnChangeOutputStream(true);
    return timeslot >= 0;
}

bool PlaySlotFile::restart()
{
    next = names.begin();
    passOctets = 0;
    return next_phrase();
}

bool PlaySlotFile::next_phrase()
{
    while (next != names.end()) {
        std::string path = fixed_path(voice_directory + *next++);
        file.close();
        file = Fd(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
        // A directory opens but cannot be played: it counts as missing.
        struct stat status;
        if (!file || fstat(file, &status) != 0 || !S_ISREG(status.st_mode))
            continue;
        lseek(file, 0, SEEK_SET);
        StartCopy(copy, this, &PlaySlotFile::OnPlayComplete, file_buffer, POLLWRNORM, file, fd);
        return true;
    }
    file.close();
    return false;
}

void PlaySlotFile::OnPlayComplete(ASync::Copy::Status::Type status)
{
    if (status != ASync::Copy::Status::done) {
        Release();
        return;
    }
    passOctets += copy->copied();
    if (next_phrase())
        return;
    // The pass is over. Counting stops at 0, so that endless play cannot overflow.
    if (passOctets == 0 || (repeat > 0 && --repeat == 0)) {
        Release();
        return;
    }
    // Files gone since the last pass end the play as any other end does.
    if (!restart())
        Release();
}

void PlaySlotFile::Release()
{
    OnChangeOutputStream(false);
    copy.reset();
    OnAbort(0);
}

void PlaySlotFile::delayed_abort()
{
    abortCall.Deactivate();
    OnAbort(0);
}
