// A library planted where the program must never load code from, under
// the names of its plugins.  Loading it leaves "planted-library-ran" in
// the current directory.

#include <fcntl.h>
#include <unistd.h>

__attribute__((constructor)) static void MarkThatItRan()
{
    const int fd = ::open("planted-library-ran", O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd >= 0)
        ::close(fd);
}
