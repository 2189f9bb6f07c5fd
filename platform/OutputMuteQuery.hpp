#pragma once

namespace Platform {

// Whether the desktop's default sound output is silent: muted, or its volume (nearly) zero.
class OutputMuteQuery {
public:
    virtual ~OutputMuteQuery() = default;
    // Never waits long; an unknown answer is "not muted".
    virtual bool isMuted() = 0;
};

}
