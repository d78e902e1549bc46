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
// sequence forms: read as the whole structure, they teach the model to pair too little.
enum class referenceReading {
    whole,     // P(the structure is exactly the reference)
    contained  // P(the structure holds every reference pair), other pairs free
};

class objective {
public:
    // start: the set training begins from (and is pulled towards); examples are reduced here.
    objective(const paramTables& start, const parameterLayout& layout, const std::vector<const molecule*>& molecules,
              double lambda, int jobs, referenceReading reading = referenceReading::whole);

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
    referenceReading reading_;
    int crossing_ = 0;
    int unformable_ = 0;
};

}  // namespace korvane::train
