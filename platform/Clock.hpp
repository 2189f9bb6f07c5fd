#pragma once

namespace Platform {

// Wall time for what is shown or stored, monotonic time for every interval and rate limit.
class Clock {
public:
    virtual ~Clock() = default;
    // Seconds since 1970-01-01 UTC.
    virtual double now() const = 0;
    // Seconds on a clock that never jumps; its origin means nothing.
    virtual double monotonic() const = 0;
};

class SystemClock final : public Clock {
public:
    double now() const override;
    double monotonic() const override;
};

// A clock that moves only when told, for tests.
class ManualClock final : public Clock {
public:
    explicit ManualClock(double now = 1'700'000'000, double monotonic = 1000)
        : m_now(now)
        , m_monotonic(monotonic)
    {
    }
    double now() const override { return m_now; }
    double monotonic() const override { return m_monotonic; }
    void advance(double seconds)
    {
        m_now += seconds;
        m_monotonic += seconds;
    }
    void setNow(double now) { m_now = now; }

private:
    double m_now;
    double m_monotonic;
};

}
