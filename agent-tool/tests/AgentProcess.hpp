#pragma once

#include <atomic>
#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <thread>
#include <vector>

// The built tool started through pipes, as the coding agent starts it: the test writes its standard
// input at its own pace and collects both outputs. The environment is the test's own without any
// PUPNIK_ variable, plus the support directory and the given extras.
class AgentProcess final {
public:
    struct Outcome {
        bool exited { false };
        int status { -1 };
        std::string standardOutput;
        std::string standardError;
    };

    AgentProcess(std::vector<std::string> const& arguments, std::filesystem::path const& supportDirectory,
        std::map<std::string, std::string> const& extraEnvironment = {});
    // The whole input waits in the pipe, its end closed, before the tool starts, so that the tool's
    // time limits never run out before the test gets to write (up to 1 MiB, the size a pipe can grow to).
    static std::unique_ptr<AgentProcess> withInputReady(std::vector<std::string> const& arguments, std::string_view input,
        std::filesystem::path const& supportDirectory, std::map<std::string, std::string> const& extraEnvironment = {});
    ~AgentProcess();
    AgentProcess(AgentProcess const&) = delete;
    AgentProcess& operator=(AgentProcess const&) = delete;

    pid_t pid() const { return m_pid; }
    bool write(std::string_view bytes);
    void closeInput();
    void signal(int signal);
    // Waits while the input stays as it is; true when the tool has exited by then.
    bool waitForExit(std::chrono::milliseconds timeout);
    // Closes the input and waits for the tool to exit and both outputs to end (at most a few seconds
    // after the exit).
    Outcome finish(std::chrono::milliseconds timeout = std::chrono::seconds(30));

    // The tool with the whole input written at once, ready before it starts when it fits a pipe.
    static Outcome run(std::vector<std::string> const& arguments, std::string_view input,
        std::filesystem::path const& supportDirectory, std::map<std::string, std::string> const& extraEnvironment = {});

private:
    AgentProcess(std::vector<std::string> const& arguments, std::filesystem::path const& supportDirectory,
        std::map<std::string, std::string> const& extraEnvironment, std::optional<std::string_view> readyInput);

    pid_t m_pid { -1 };
    int m_input { -1 };
    bool m_exited { false };
    int m_status { -1 };
    std::string m_standardOutput;
    std::string m_standardError;
    // Set when the outputs are given up on: a stray child of the tool may hold them open forever.
    std::atomic<bool> m_stopReading { false };
    std::thread m_outputReader;
    std::thread m_errorReader;
};
