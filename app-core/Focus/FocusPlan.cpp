#include "app-core/Focus/FocusPlan.hpp"

namespace PupnikCore {

FocusPlan::FocusPlan(RunningAppInfo app, std::optional<std::string> script)
    : app(std::move(app))
    , jump(script ? TerminalJump(TerminalJump::AppleScript { std::move(*script) }) : TerminalJump())
{
}

}
