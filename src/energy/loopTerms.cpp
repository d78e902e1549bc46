#include "energy/loopTerms.h"

#include "energy/loopTermsOf.h"

namespace korvane {

int stackEnergy(const paramTables& tables, std::span<const int> code, int i, int j, int ip, int jp) {
    return loopTerms::stackEnergy(tables, code, i, j, ip, jp);
}

int hairpinEnergy(const paramTables& tables, std::span<const int> code, int i, int j) {
    return loopTerms::hairpinEnergy(tables, code, i, j);
}

int loopEnergy(const paramTables& tables, std::span<const int> code, int i, int j, int ip, int jp) {
    return loopTerms::loopEnergy(tables, code, i, j, ip, jp);
}

int danglingEnergy(const paramTables& tables, std::span<const int> code, int a, int b, int n, int side) {
    return loopTerms::danglingEnergy(tables, code, a, b, n, side);
}

int auPenalty(const paramTables& tables, std::span<const int> code, int i, int j) {
    return loopTerms::auPenalty(tables, code, i, j);
}

}  // namespace korvane
