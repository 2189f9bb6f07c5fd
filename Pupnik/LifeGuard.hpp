#pragma once

#include <functional>
#include <memory>
#include <type_traits>
#include <utility>

namespace Pupnik {

// Hands out callbacks and references that stop working once their owner ends: the owner keeps one
// as a member and calls end() first thing in its destructor, so nothing it handed out (which may
// outlive it) reaches a half-destroyed object. Main thread only.
class LifeGuard final {
public:
    LifeGuard() = default;
    LifeGuard(LifeGuard const&) = delete;
    LifeGuard& operator=(LifeGuard const&) = delete;

    // From here on every callback does nothing and every reference is expired.
    void end() { m_token.reset(); }

    // `call`, run with the callback's arguments only while the guard lives; afterwards the callback
    // runs nothing and answers a value-initialised result.
    template<typename Call>
    auto whileAlive(Call call) const
    {
        return [alive = std::weak_ptr<void const>(m_token), call = std::move(call)](auto&&... arguments) {
            using Result = std::invoke_result_t<Call const&, decltype(arguments)...>;
            if (alive.expired()) {
                if constexpr (std::is_void_v<Result>)
                    return;
                else
                    return Result {};
            }
            return std::invoke(call, std::forward<decltype(arguments)>(arguments)...);
        };
    }

    // A reference to `object` that expires when the guard ends, for holders that take a weak_ptr.
    template<typename T>
    std::weak_ptr<T> reference(T& object) const
    {
        return std::shared_ptr<T>(m_token, &object);
    }

private:
    std::shared_ptr<void const> m_token { std::make_shared<char>() };
};

}
