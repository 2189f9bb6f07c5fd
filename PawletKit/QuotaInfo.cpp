#include "PawletKit/QuotaInfo.hpp"

namespace PawletKit {

bool QuotaInfo::hasAnyValue() const
{
    return fiveHourUsed || fiveHourResetsAt || sevenDayUsed || sevenDayResetsAt;
}

}
