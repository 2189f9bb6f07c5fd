#include "PawletKit/ProcessSampler.hpp"

namespace PawletKit {

ProcessSampler::~ProcessSampler() = default;

}
