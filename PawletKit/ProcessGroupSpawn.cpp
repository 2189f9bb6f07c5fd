#include "PawletKit/ProcessGroupSpawn.hpp"

#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <unistd.h>

namespace PawletKit::ProcessGroupSpawn {

namespace {

class Settings final {
public:
    Settings()
    {
        ::posix_spawn_file_actions_init(&actions);
        ::posix_spawnattr_init(&attributes);
    }
    ~Settings()
    {
        ::posix_spawn_file_actions_destroy(&actions);
        ::posix_spawnattr_destroy(&attributes);
    }
    Settings(Settings const&) = delete;
    Settings& operator=(Settings const&) = delete;

    posix_spawn_file_actions_t actions {};
    posix_spawnattr_t attributes {};
};

std::vector<char*> pointers(std::vector<std::string>& texts)
{
    std::vector<char*> result;
    for (auto& text : texts)
        result.push_back(text.data());
    result.push_back(nullptr);
    return result;
}

}

Started start(std::string const& program, std::vector<std::string> arguments, std::vector<std::string> environment, Streams const& streams)
{
    Settings settings;
    if (streams.input)
        ::posix_spawn_file_actions_adddup2(&settings.actions, *streams.input, STDIN_FILENO);
    else
        ::posix_spawn_file_actions_addopen(&settings.actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    if (streams.output)
        ::posix_spawn_file_actions_adddup2(&settings.actions, *streams.output, STDOUT_FILENO);
    if (streams.error)
        ::posix_spawn_file_actions_adddup2(&settings.actions, *streams.error, STDERR_FILENO);
    ::posix_spawnattr_setflags(&settings.attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    ::posix_spawnattr_setpgroup(&settings.attributes, 0);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    ::posix_spawnattr_setsigmask(&settings.attributes, &none);
    ::posix_spawnattr_setsigdefault(&settings.attributes, &all);

    auto argv = pointers(arguments);
    auto envp = pointers(environment);
    Started started;
    started.error = ::posix_spawn(&started.pid, program.c_str(), &settings.actions, &settings.attributes, argv.data(), envp.data());
    return started;
}

}
