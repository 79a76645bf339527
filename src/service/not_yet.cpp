// Methods of the interface that this version does not build yet. The host
// protocol answers them with an error naming the method; their stand-ins here
// only keep the interface complete.
#include <set>

#include "service/host_protocol.h"

namespace zephrin {

namespace {
const std::set<std::string_view, std::less<>> kNotYet = {
};
}  // namespace

bool IsMethodAvailable(std::string_view name) { return !kNotYet.contains(name); }


}  // namespace zephrin
