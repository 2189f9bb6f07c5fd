#pragma once

namespace Platform {

// A standing registration for reports (an observer, a watch); dropping the handle ends it, and no
// report arrives once the destructor has returned.
class Observation {
public:
    virtual ~Observation() = default;
};

}
