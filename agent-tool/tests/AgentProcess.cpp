#include "AgentProcess.hpp"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

// What a pipe may grow to without privileges, by default.
constexpr size_t maxReadyInput = 1 << 20;

void readUntilEnd(int fd, std::string& into, std::atomic<bool> const& stop)
{
    char buffer[65'536];
    while (!stop) {
        pollfd entry { fd, POLLIN, 0 };
        if (::poll(&entry, 1, 50) == 0)
            continue;
        ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            break;
        into.append(buffer, static_cast<size_t>(count));
    }
    ::close(fd);
}

}

AgentProcess::AgentProcess(std::vector<std::string> const& arguments, std::filesystem::path const& supportDirectory,
    std::map<std::string, std::string> const& extraEnvironment)
    : AgentProcess(arguments, supportDirectory, extraEnvironment, std::nullopt)
{
}

std::unique_ptr<AgentProcess> AgentProcess::withInputReady(std::vector<std::string> const& arguments, std::string_view input,
    std::filesystem::path const& supportDirectory, std::map<std::string, std::string> const& extraEnvironment)
{
    return std::unique_ptr<AgentProcess>(new AgentProcess(arguments, supportDirectory, extraEnvironment, input));
}

AgentProcess::AgentProcess(std::vector<std::string> const& arguments, std::filesystem::path const& supportDirectory,
    std::map<std::string, std::string> const& extraEnvironment, std::optional<std::string_view> readyInput)
{
    std::vector<std::string> environment;
    for (char** entry = environ; *entry; ++entry)
        if (std::strncmp(*entry, "PUPNIK_", 7) != 0)
            environment.emplace_back(*entry);
    environment.push_back("PUPNIK_SUPPORT_DIR=" + supportDirectory.string());
    for (auto const& [name, value] : extraEnvironment)
        environment.push_back(name + "=" + value);

    std::vector<std::string> argumentStrings { PUPNIK_AGENT_PATH };
    argumentStrings.insert(argumentStrings.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& argument : argumentStrings)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (auto& entry : environment)
        envp.push_back(entry.data());
    envp.push_back(nullptr);

    int input[2], output[2], error[2];
    if (::pipe2(input, O_CLOEXEC) || ::pipe2(output, O_CLOEXEC) || ::pipe2(error, O_CLOEXEC))
        throw std::runtime_error("pipe failed");
    if (readyInput) {
        if (readyInput->size() > 65'536 && ::fcntl(input[1], F_SETPIPE_SZ, static_cast<int>(readyInput->size())) < 0)
            throw std::runtime_error("input too large for a pipe");
        ::fcntl(input[1], F_SETFL, O_NONBLOCK);
        if (::write(input[1], readyInput->data(), readyInput->size()) != static_cast<ssize_t>(readyInput->size()))
            throw std::runtime_error("input does not fit the pipe");
    }
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_adddup2(&actions, input[0], 0);
    ::posix_spawn_file_actions_adddup2(&actions, output[1], 1);
    ::posix_spawn_file_actions_adddup2(&actions, error[1], 2);
    int result = ::posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    ::posix_spawn_file_actions_destroy(&actions);
    ::close(input[0]);
    ::close(output[1]);
    ::close(error[1]);
    if (result != 0)
        throw std::runtime_error("cannot start " + argumentStrings[0]);
    m_input = input[1];
    if (readyInput)
        closeInput();
    m_outputReader = std::thread(readUntilEnd, output[0], std::ref(m_standardOutput), std::cref(m_stopReading));
    m_errorReader = std::thread(readUntilEnd, error[0], std::ref(m_standardError), std::cref(m_stopReading));
}

AgentProcess::~AgentProcess()
{
    if (!m_exited) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
    m_stopReading = true;
    closeInput();
    if (m_outputReader.joinable())
        m_outputReader.join();
    if (m_errorReader.joinable())
        m_errorReader.join();
}

bool AgentProcess::write(std::string_view bytes)
{
    auto previous = std::signal(SIGPIPE, SIG_IGN);
    while (!bytes.empty()) {
        ssize_t written = ::write(m_input, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            break;
        bytes.remove_prefix(static_cast<size_t>(written));
    }
    std::signal(SIGPIPE, previous);
    return bytes.empty();
}

void AgentProcess::closeInput()
{
    if (m_input >= 0)
        ::close(m_input);
    m_input = -1;
}

void AgentProcess::signal(int signal)
{
    if (!m_exited)
        ::kill(m_pid, signal);
}

bool AgentProcess::waitForExit(std::chrono::milliseconds timeout)
{
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!m_exited) {
        int status = 0;
        pid_t result = ::waitpid(m_pid, &status, WNOHANG);
        if (result == m_pid) {
            m_exited = true;
            m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            break;
        }
        if (std::chrono::steady_clock::now() >= deadline)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return m_exited;
}

AgentProcess::Outcome AgentProcess::finish(std::chrono::milliseconds timeout)
{
    closeInput();
    waitForExit(timeout);
    if (!m_exited) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
        m_exited = true;
        m_status = -1;
        return { false, -1, {}, {} };
    }
    std::thread stopper([this] {
        for (int waited = 0; waited < 100 && !m_stopReading; ++waited)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        m_stopReading = true;
    });
    m_outputReader.join();
    m_errorReader.join();
    m_stopReading = true;
    stopper.join();
    return { true, m_status, m_standardOutput, m_standardError };
}

AgentProcess::Outcome AgentProcess::run(std::vector<std::string> const& arguments, std::string_view input,
    std::filesystem::path const& supportDirectory, std::map<std::string, std::string> const& extraEnvironment)
{
    if (input.size() <= maxReadyInput)
        return withInputReady(arguments, input, supportDirectory, extraEnvironment)->finish(std::chrono::seconds(60));
    AgentProcess process(arguments, supportDirectory, extraEnvironment);
    // Both outputs are drained by their readers, so this write only waits for the tool to read or exit.
    process.write(input);
    return process.finish(std::chrono::seconds(60));
}
