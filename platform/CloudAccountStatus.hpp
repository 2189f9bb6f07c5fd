#pragma once

namespace Platform {

// The account behind a cloud database. The numbers are the service's own; other values may arrive.
enum class CloudAccountStatus : int {
    couldNotDetermine = 0,
    available = 1,
    restricted = 2,
    noAccount = 3,
    temporarilyUnavailable = 4,
};

}
