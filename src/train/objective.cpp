#include "train/objective.h"

#include <atomic>
#include <thread>

namespace korvane::train {

namespace {

constexpr int CHUNK = 32;  // molecules summed together before the chunks are summed in order
constexpr double TENTHS_PER_KCAL = 10.0;

}  // namespace

objective::objective(const paramTables& start, const parameterLayout& layout,
                     const std::vector<const molecule*>& molecules, double lambda, int jobs, double wholeShare, double accuracyWeight, double gamma)
    : start_(start),
      layout_(layout),
      lambda_(lambda),
      jobs_(std::max(1, jobs)),
      wholeShare_(wholeShare),
      accuracyWeight_(accuracyWeight),
      gamma_(gamma) {
    for (const molecule* m : molecules) {
        const fold::energyModel model(start, m->sequence.codes, m->sequence.length());
        reducedReference r = reduceReference(model, m->reference);
        crossing_ += r.crossingDropped;
        unformable_ += r.unformableDropped;
        trainingExample e{m, std::move(r.pairs), {}};
        structureFeatures(model, e.reference, e.features);
        examples_.push_back(std::move(e));
    }
}

double objective::evaluate(const std::vector<double>& theta, std::vector<double>& gradient) const {
    auto real = realCopy(start_);
    layout_.write(theta, *real);
    const double beta = 1.0 / (TENTHS_PER_KCAL * static_cast<double>(real->rtKcal));
    const int parameters = layout_.size();
    const int chunks = static_cast<int>((examples_.size() + CHUNK - 1) / CHUNK);
    std::vector<double> chunkValue(chunks, 0.0);
    std::vector<std::vector<double>> chunkGradient(chunks);
    std::atomic<int> next{0};
    const auto work = [&] {
        ensembleCounts ensemble;
        std::vector<double> counts, held, pairGain, gainCounts;
        for (int c = next++; c < chunks; c = next++) {
            double value = 0;
            std::vector<double>& g = chunkGradient[c];
            g.assign(parameters, 0.0);
            const size_t end = std::min(examples_.size(), static_cast<size_t>(c + 1) * CHUNK);
            for (size_t k = static_cast<size_t>(c) * CHUNK; k < end; ++k) {
                const trainingExample& e = examples_[k];
                const auto& s = e.source->sequence;
                const fold::energyModel cells(start_, s.codes, s.length());
                const realModel model(*real, s.codes, s.length());
                // -ln P(is ref) = beta E(ref) + ln Z, gradient beta (ref counts - counts);
                // -ln P(holds ref) = ln Z - ln Z(ref held), gradient beta (held counts - counts).
                if (wholeShare_ > 0) {
                    value += wholeShare_ * beta * layout_.energy(e.features, theta, start_);
                    layout_.accumulate(e.features, wholeShare_ * beta, g);
                }
                if (wholeShare_ < 1) {
                    const double heldShare = 1 - wholeShare_;
                    value -= heldShare * ensemble.compute(model, cells, layout_, held, e.reference);
                    for (int p = 0; p < parameters; ++p) g[p] += heldShare * beta * held[p];
                }
                if (accuracyWeight_ > 0) {
                    // A = (unpaired + sum over formed pairs of gain) / best, whose gradient is
                    // -beta gainCounts / best: accuracyWeight (1 - E[A]) adds its negation.
                    const int n = s.length();
                    const std::vector<int>& r = e.reference;
                    int unpaired = 0, pairs = 0;
                    for (int i = 1; i <= n; ++i) r[i] == 0 ? ++unpaired : r[i] > i ? ++pairs : 0;
                    const double best = 2 * gamma_ * pairs + unpaired;
                    pairGain.assign(static_cast<size_t>(n + 1) * (n + 1), 0.0);
                    for (int i = 1; i <= n; ++i)
                        for (int j = i + 1; j <= n; ++j)
                            pairGain[static_cast<size_t>(i) * (n + 1) + j] =
                                (r[i] == j ? 2 * gamma_ : 0.0) - (r[i] == 0) - (r[j] == 0);
                    double expectedGain = 0;
                    value += ensemble.computeGain(model, cells, layout_, counts, pairGain, gainCounts, expectedGain);
                    if (best > 0) {
                        value += accuracyWeight_ * (1 - (unpaired + expectedGain) / best);
                        for (int p = 0; p < parameters; ++p) g[p] += accuracyWeight_ * beta * gainCounts[p] / best;
                    }
                } else {
                    value += ensemble.compute(model, cells, layout_, counts);
                }
                for (int p = 0; p < parameters; ++p) g[p] -= beta * counts[p];
            }
            chunkValue[c] = value;
        }
    };
    std::vector<std::thread> threads;
    for (int t = 1; t < jobs_; ++t) threads.emplace_back(work);
    work();
    for (auto& t : threads) t.join();

    const double scale = examples_.empty() ? 0.0 : 1.0 / static_cast<double>(examples_.size());
    double value = 0;
    gradient.assign(parameters, 0.0);
    for (int c = 0; c < chunks; ++c) {
        value += chunkValue[c];
        for (int p = 0; p < parameters; ++p) gradient[p] += chunkGradient[c][p];
    }
    value *= scale;
    const auto& start = layout_.initial();
    for (int p = 0; p < parameters; ++p) {
        gradient[p] *= scale;
        const double d = theta[p] - start[p];
        value += 0.5 * lambda_ * d * d;
        gradient[p] += lambda_ * d;
    }
    return value;
}

}  // namespace korvane::train
