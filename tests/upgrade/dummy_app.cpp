// A stand-in for the installed program: records how it was started in
// "<its name>.ran" beside itself. "--sleep N" makes it run for N ms first.
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--sleep") == 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(argv[2])));
    std::ofstream out(std::string(argv[0]) + ".ran", std::ios::app);
    for (int i = 1; i < argc; ++i)
        out << argv[i] << (i + 1 < argc ? " " : "");
    out << "\n";
    return 0;
}
