// A stand-in for the installed program: records how it was started in
// "<its name>.ran" beside itself, then confirms to the replacement program
// that it came up, as the real program does once its login window shows.
// "--sleep N" makes it run for N ms first.
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--sleep") == 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(argv[2])));
    {
        std::ofstream out(std::string(argv[0]) + ".ran", std::ios::app);
        for (int i = 1; i < argc; ++i) out << argv[i] << (i + 1 < argc ? " " : "");
        out << "\n";
    }
    if (const char* fd = std::getenv("TALLYBROOK_UPGRADE_CONFIRM_FD")) [[maybe_unused]]
        const ssize_t n = ::write(std::atoi(fd), "1", 1);
    return 0;
}
