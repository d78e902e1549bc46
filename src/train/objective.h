#pragma once
// The training objective: the mean over molecules of -ln P(reference | sequence) under the
// model, plus lambda/2 |theta - theta0|^2 pulling towards the starting set, with its exact
// gradient. Molecules are summed in fixed chunks, in order, so that the value does not depend
// on the number of threads.

#include <memory>
#include <vector>

#include "train/dataset.h"
#include "train/ensembleCounts.h"
#include "train/parameterLayout.h"
#include "train/reference.h"

namespace korvane::train {

struct trainingExample {
    const molecule* source;
    std::vector<int> reference;  // reduced to what the model can score
    loopFeatures features;       // of the reference
};

// What a reference claims. Consensus structures projected onto one sequence miss pairs that
// sequence forms: read as the whole structure, they teach the model to pair too little; read
// as pairs the structure holds, they say nothing of the bases they leave unpaired. The
// objective mixes the two: wholeShare of -ln P(the structure is the reference) plus
// 1 - wholeShare of -ln P(the structure holds every reference pair). Neither is the accuracy
// that decoding seeks, so accuracyWeight adds accuracyWeight (1 - E[A]), A being what mea
// maximises (2 gamma per reference pair formed, 1 per reference-unpaired base left unpaired)
// as a share of its best value.
class objective {
public:
    // start: the set training begins from (and is pulled towards); examples are reduced here.
    objective(const paramTables& start, const parameterLayout& layout, const std::vector<const molecule*>& molecules,
              double lambda, int jobs, double wholeShare = 1.0, double accuracyWeight = 0.0, double gamma = 0.5);

    // Value at theta; gradient resized and filled.
    double evaluate(const std::vector<double>& theta, std::vector<double>& gradient) const;

    int crossingDropped() const { return crossing_; }
    int unformableDropped() const { return unformable_; }
    size_t size() const { return examples_.size(); }

private:
    const paramTables& start_;
    const parameterLayout& layout_;
    std::vector<trainingExample> examples_;
    double lambda_;
    int jobs_;
    double wholeShare_;
    double accuracyWeight_;
    double gamma_;
    int crossing_ = 0;
    int unformable_ = 0;
};

}  // namespace korvane::train
