#pragma once

// A FUSE volume served by a child process of the caller through the kernel's own protocol on
// /dev/fuse, so that a test can make a real volume stop answering. Its root holds one folder,
// "sub", for a volume to be mounted inside it; statfs gives the figures the test chose. Names
// are never cached, so every path through the volume asks the server. Needs root.
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <fcntl.h>
#include <linux/fuse.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <sys/wait.h>
#include <unistd.h>

class FuseVolume
{
public:
    struct Figures
    {
        uint64_t blocks = 0;
        uint64_t available = 0;
        uint32_t blockSize = 4096;
    };

    // Mounts the volume at `point` (type "fuse.volumo"). With `statfsAnswers` above 0 the server
    // stops answering anything once it has answered that many statfs calls. A stalled server
    // ends itself after `stallSeconds`, so that code which waits on it shows up as slow, not
    // as a test that never ends.
    FuseVolume(const std::string &point, Figures figures, int statfsAnswers = 0,
               unsigned stallSeconds = 10)
        : point(point), figures(figures), statfsLeft(statfsAnswers), stallSeconds(stallSeconds)
    {
        const int device = ::open("/dev/fuse", O_RDWR | O_CLOEXEC);
        if (device < 0) {
            reason = std::string("/dev/fuse cannot be opened (") + std::strerror(errno) + ")";
            return;
        }
        const std::string options =
            "fd=" + std::to_string(device) + ",rootmode=40000,user_id=0,group_id=0,allow_other";
        if (::mount("volumo-test", point.c_str(), "fuse.volumo", MS_NOSUID | MS_NODEV,
                    options.c_str()) != 0) {
            reason =
                std::string("a FUSE volume cannot be mounted here (") + std::strerror(errno) + ")";
            ::close(device);
            return;
        }
        mounted = true;
        // Allocated before the fork: the server may only make system calls, as other threads
        // of this process may have held the allocator's lock at that moment.
        buffer.resize(1 << 20);
        server = ::fork();
        if (server == 0)
            serve(device);
        ::close(device);
        // The first call waits for the server's handshake.
        struct stat root = {};
        if (server < 0 || ::stat(point.c_str(), &root) != 0)
            reason = std::string("the FUSE server does not answer (") + std::strerror(errno) + ")";
    }

    // Ends the server, which aborts the connection, so that every call still waiting returns,
    // and takes the volume away with whatever is mounted inside it.
    ~FuseVolume()
    {
        if (server > 0) {
            ::kill(server, SIGKILL);
            ::waitpid(server, nullptr, 0);
        }
        if (mounted)
            ::umount2(point.c_str(), MNT_DETACH);
    }
    FuseVolume(const FuseVolume &) = delete;
    FuseVolume &operator=(const FuseVolume &) = delete;

    // Empty once the volume answers; otherwise why it could not be made.
    const std::string &failure() const { return reason; }

    // The server stops answering, as a stuck daemon or a dead server's connection would.
    void stall() const { ::kill(server, SIGUSR1); }

private:
    // In the server: answers nothing more, and ends after the stall's time. Ending aborts the
    // connection, and every call still waiting on it fails.
    [[noreturn]] static void stallThenEnd(unsigned seconds)
    {
        for (unsigned left = seconds; left > 0;)
            left = ::sleep(left);
        ::_exit(0);
    }

    [[noreturn]] void serve(int device)
    {
        static unsigned stallFor = 0;
        stallFor = stallSeconds;
        struct sigaction stalled = {};
        stalled.sa_handler = [](int) {
            stallThenEnd(stallFor);
        };
        ::sigaction(SIGUSR1, &stalled, nullptr);
        for (;;) {
            const ssize_t length = ::read(device, buffer.data(), buffer.size());
            if (length < 0 && (errno == EINTR || errno == EAGAIN || errno == ENOENT))
                continue;
            if (length < static_cast<ssize_t>(sizeof(fuse_in_header)))
                ::_exit(0);
            fuse_in_header header;
            std::memcpy(&header, buffer.data(), sizeof header);
            answer(device, header, buffer.data() + sizeof header);
        }
    }

    void answer(int device, const fuse_in_header &header, const char *argument)
    {
        switch (header.opcode) {
        case FUSE_INIT: {
            fuse_init_in in;
            std::memcpy(&in, argument, sizeof in);
            fuse_init_out out = {};
            out.major = FUSE_KERNEL_VERSION;
            out.minor = FUSE_KERNEL_MINOR_VERSION;
            out.max_readahead = in.max_readahead;
            out.max_write = 4096;
            return reply(device, header, &out, sizeof out);
        }
        case FUSE_LOOKUP: {
            if (header.nodeid != FUSE_ROOT_ID || std::strcmp(argument, "sub") != 0)
                return reply(device, header, nullptr, 0, -ENOENT);
            fuse_entry_out out = {};
            out.nodeid = 2;
            out.generation = 1;
            out.attr = folder(2);
            return reply(device, header, &out, sizeof out);
        }
        case FUSE_GETATTR: {
            fuse_attr_out out = {};
            out.attr = folder(header.nodeid);
            return reply(device, header, &out, sizeof out);
        }
        case FUSE_STATFS: {
            fuse_statfs_out out = {};
            out.st.blocks = figures.blocks;
            out.st.bfree = figures.available;
            out.st.bavail = figures.available;
            out.st.bsize = figures.blockSize;
            out.st.frsize = figures.blockSize;
            out.st.namelen = 255;
            reply(device, header, &out, sizeof out);
            if (statfsLeft > 0 && --statfsLeft == 0)
                stallThenEnd(stallSeconds);
            return;
        }
        case FUSE_OPENDIR: {
            fuse_open_out out = {};
            return reply(device, header, &out, sizeof out);
        }
        case FUSE_READDIR:
        case FUSE_RELEASEDIR:
        case FUSE_ACCESS:
            return reply(device, header, nullptr, 0);
        case FUSE_FORGET:
        case FUSE_BATCH_FORGET:
        case FUSE_INTERRUPT:
            return; // no answer expected
        default:
            return reply(device, header, nullptr, 0, -ENOSYS);
        }
    }

    static fuse_attr folder(uint64_t node)
    {
        fuse_attr attr = {};
        attr.ino = node;
        attr.mode = S_IFDIR | 0755;
        attr.nlink = 2;
        return attr;
    }

    static void reply(int device, const fuse_in_header &header, const void *data, size_t size,
                      int error = 0)
    {
        fuse_out_header out = {};
        out.len = static_cast<uint32_t>(sizeof out + (error ? 0 : size));
        out.error = error;
        out.unique = header.unique;
        iovec parts[2] = {{&out, sizeof out}, {const_cast<void *>(data), error ? 0 : size}};
        (void)::writev(device, parts, 2);
    }

    std::string point;
    Figures figures;
    int statfsLeft;
    unsigned stallSeconds;
    std::vector<char> buffer;
    bool mounted = false;
    pid_t server = -1;
    std::string reason;
};
