#pragma once

// A stream buffer that writes into hourly log files "<directory>/%Y_%m_%d-%H.log", each line
// behind a "MM:SS:uuuuu: " time prefix. A new file is opened whenever the file name for the
// current time changes; files are appended to, so a restart within the hour keeps what was
// logged before. A file that cannot be opened swallows the lines until the next name.

#include <ctime>
#include <fstream>
#include <string>

class LogFileStreamBuf : public std::streambuf {
public:
    explicit LogFileStreamBuf(const std::string& directory);
    // Writes what is still buffered.
    ~LogFileStreamBuf() override;

protected:
    // A length below 2 is ignored; otherwise what is buffered is written and the caller's area of
    // that length takes over.
    std::streambuf* setbuf(char* area, std::streamsize length) override;
    int sync() override;
    int_type overflow(int_type c) override;

private:
    // Opens the file for the local time seconds when its name differs from the open one.
    void open_for(std::time_t seconds);
    void write(const char* begin, const char* end) { file_.sputn(begin, end - begin); }
    void empty_area() { setp(pbase(), epptr()); }

    std::filebuf file_;
    std::string directory_;
    std::string name_;
    char area_[16];
    // The last write ended inside a line: the next text continues it without a prefix.
    bool mid_line_ = false;
};
