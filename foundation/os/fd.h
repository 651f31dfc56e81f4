#pragma once

// A plain descriptor number. It has no destructor: copies name the same open descriptor and
// exactly one owner closes it. An object that keeps a descriptor keeps its own dup() of it.
class Fd {
public:
    Fd() = default;
    Fd(int fd) : fd_(fd) {}

    int get() const { return fd_; }
    operator int() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }

    // A close-on-exec duplicate, or a negative result (-1 for an empty Fd, without calling dup()).
    int dup() const;
    // Closes and empties; an empty Fd gives -1 with errno EBADF.
    int close();
    bool NonBlock() const;

private:
    int fd_ = -1;
};

bool NonBlockMode(int fd);
bool BlockMode(int fd);
void SetCloexec(int fd, bool on);
