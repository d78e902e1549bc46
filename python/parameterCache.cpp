#include "parameterCache.h"

#include <map>
#include <mutex>
#include <utility>

#include "thermo/parameterSets.h"

namespace korvane::python {

std::shared_ptr<const paramTables> cachedParameterSet(const std::string& nameOrFolder, double celsius) {
    static std::mutex guard;
    static std::map<std::pair<std::string, double>, std::shared_ptr<const paramTables>> loaded;
    const std::lock_guard<std::mutex> lock(guard);
    auto& slot = loaded[{nameOrFolder, celsius}];
    if (!slot) {
        try {
            slot = loadParameterSet(nameOrFolder, celsius);
        } catch (...) {
            loaded.erase({nameOrFolder, celsius});
            throw;
        }
    }
    return slot;
}

}  // namespace korvane::python
