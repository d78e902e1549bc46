// korvane._korvane: the engine, korvane-eval's scoring and the CT reader and writer for Python.
// Argument checks and the translation of korvane's errors into Python exceptions live here;
// the folds themselves are in folding.cpp.

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cerrno>
#include <cmath>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "engine/engine.h"
#include "evaluation.h"
#include "folding.h"
#include "korvaneVersion.h"
#include "output/output.h"
#include "parameterCache.h"
#include "rna/sequence.h"
#include "structureFile.h"
#include "thermo/parameterSets.h"

namespace py = pybind11;

namespace korvane::python {

namespace {

constexpr double TENTHS_PER_KCAL = 10.0;
constexpr int SINGLE_STRUCTURE_SLOTS = 2;
constexpr const char* DEFAULT_ALGORITHM = "greedy";
constexpr const char* DEFAULT_ENERGY_MODEL = "full";

// The algorithms by korvane-fold's names; those the engine lacks raise NotImplementedError there.
foldAlgorithm algorithmNamed(const std::string& name) {
    static const std::vector<std::pair<std::string, foldAlgorithm>> algorithms = {
        {"greedy", foldAlgorithm::greedy},
        {"mfe", foldAlgorithm::mfe},
        {"mea", foldAlgorithm::mea},
        {"threshknot", foldAlgorithm::threshknot}};
    std::string known;
    for (const auto& [algorithmName, algorithm] : algorithms) {
        if (algorithmName == name) return algorithm;
        known += (known.empty() ? "" : ", ") + algorithmName;
    }
    throw py::value_error("unknown algorithm '" + name + "' (known: " + known + ")");
}

rnaSequence sequenceOf(std::string title, std::string letters) {
    if (letters.empty()) throw py::value_error("the sequence is empty");
    try {
        return makeSequence(std::move(title), std::move(letters));
    } catch (const std::invalid_argument& error) {
        throw py::value_error(error.what());
    }
}

foldOptions optionsFor(const std::string& algorithm) {
    foldOptions options;
    options.algorithm = algorithmNamed(algorithm);
    return options;
}

// The named set, or korvane-fold's default for the algorithm.
std::string setFor(const std::string& params, foldAlgorithm algorithm, double temperature) {
    return params.empty() ? defaultParameterSet(algorithm != foldAlgorithm::greedy, temperature) : params;
}

// Items of fold_many: a sequence, or a (title, sequence) pair.
std::vector<rnaSequence> sequencesOf(const py::iterable& items) {
    std::vector<rnaSequence> sequences;
    for (const py::handle item : items) {
        std::string title;
        std::string letters;
        if (py::isinstance<py::str>(item)) {
            letters = item.cast<std::string>();
        } else if (py::isinstance<py::tuple>(item) && py::len(item) == 2) {
            std::tie(title, letters) = item.cast<std::pair<std::string, std::string>>();
        } else {
            throw py::type_error("sequence " + std::to_string(sequences.size() + 1) +
                                 ": expected a str or a (title, sequence) tuple");
        }
        try {
            sequences.push_back(sequenceOf(std::move(title), std::move(letters)));
        } catch (const py::value_error& error) {
            throw py::value_error("sequence " + std::to_string(sequences.size() + 1) + ": " + error.what());
        }
    }
    return sequences;
}

foldedStructure fold(const std::string& letters, const std::string& algorithm, const std::string& params,
                     double temperature, const std::string& title) {
    const foldOptions options = optionsFor(algorithm);
    const auto tables = cachedParameterSet(setFor(params, options.algorithm, temperature), temperature);
    const rnaSequence sequence = sequenceOf(title, letters);
    const py::gil_scoped_release unlocked;
    foldWorkspace workspace;
    return foldOne(sequence, *tables, options, workspace);
}

std::vector<foldedStructure> foldManyOf(const py::iterable& items, int jobs, const std::string& algorithm,
                                        const std::string& params, double temperature) {
    if (jobs < 1) throw py::value_error("jobs must be at least 1");
    const foldOptions options = optionsFor(algorithm);
    const auto tables = cachedParameterSet(setFor(params, options.algorithm, temperature), temperature);
    const std::vector<rnaSequence> sequences = sequencesOf(items);
    const py::gil_scoped_release unlocked;
    return foldMany(sequences, *tables, options, jobs);
}

double energy(const std::string& letters, const std::string& brackets, const std::string& model,
              const std::string& params, double temperature) {
    scoringModel chosen;
    try {
        chosen = energyModelNamed(model);
    } catch (const std::invalid_argument& error) {
        throw py::value_error(error.what());
    }
    const scoredStructure scored = readDotBracketRecord("", letters, brackets);
    const auto tables = cachedParameterSet(
        params.empty() ? defaultParameterSet(chosen == scoringModel::mfe, temperature) : params, temperature);
    const std::string why = modelFault(chosen, *tables, scored);
    if (!why.empty()) throw py::value_error(why);
    return evaluateStructure(chosen, *tables, scored) / TENTHS_PER_KCAL;
}

// The (n + 1) x (n + 1) matrix of the probabilities the engine computed, row and column 0 empty.
py::array_t<double> probabilityMatrix(const foldResult& result, int n) {
    const auto side = static_cast<py::ssize_t>(n) + 1;
    py::array_t<double> matrix({side, side});
    auto cells = matrix.mutable_unchecked<2>();
    for (py::ssize_t i = 0; i < side; ++i)
        for (py::ssize_t j = 0; j < side; ++j) cells(i, j) = 0.0;
    for (const auto& [i, j, p] : result.pairProbabilities) {
        cells(i, j) = p;
        cells(j, i) = p;
    }
    return matrix;
}

py::array_t<double> bpp(const std::string& letters, const std::string& algorithm, const std::string& params,
                        double temperature) {
    foldOptions options = optionsFor(algorithm);
    options.probabilities = true;
    const auto tables = cachedParameterSet(setFor(params, options.algorithm, temperature), temperature);
    const rnaSequence sequence = sequenceOf("", letters);
    foldResult result;
    {
        const py::gil_scoped_release unlocked;
        foldWorkspace workspace;
        result = foldSequence(sequence, *tables, options, workspace);
    }
    // Engines that ignore the request must not pass for an ensemble of certainties.
    if (!result.hasEnsemble) {
        throw foldError(foldErrorKind::unsupported, "the " + algorithm +
                                                        " engine computed no base-pair probabilities in this build");
    }
    return probabilityMatrix(result, sequence.length());
}

// OSError, as FileNotFoundError (with errno and file name) when nothing is at path.
[[noreturn]] void raiseFileError(const std::string& path, const std::string& doing) {
    std::error_code error;
    if (!std::filesystem::exists(std::filesystem::symlink_status(path, error))) {
        PyErr_SetObject(PyExc_FileNotFoundError, py::make_tuple(ENOENT, doing, path).ptr());
    } else {
        PyErr_SetString(PyExc_OSError, (doing + " " + path).c_str());
    }
    throw py::error_already_set();
}

std::tuple<std::string, std::string, std::vector<std::pair<int, int>>> readCt(const std::string& path) {
    structure record(SINGLE_STRUCTURE_SLOTS);
    if (!tryReadCtFile(record, path)) raiseFileError(path, "cannot read the CT file");
    if (record.nstructs < 1) throw py::value_error(path + ": no complete CT structure in the file");
    const int n = record.nbases;
    std::vector<std::pair<int, int>> pairs;
    const auto row = std::as_const(record).pairs(1);
    for (int i = 1; i <= n; ++i)
        if (row[i] > i) pairs.emplace_back(i, row[i]);
    return {ctHeaderTitle(record.label[1]), record.seqchars.substr(1, static_cast<std::size_t>(n)), std::move(pairs)};
}

// Partner table of (i, j) pairs given in any order; each position pairs at most once.
std::vector<int> partnersOf(const std::vector<std::pair<int, int>>& pairs, int n) {
    std::vector<int> partners(static_cast<std::size_t>(n) + 1, 0);
    for (const auto& [a, b] : pairs) {
        const std::string named = "pair (" + std::to_string(a) + ", " + std::to_string(b) + ")";
        if (a < 1 || b < 1 || a > n || b > n) {
            throw py::value_error(named + ": positions run from 1 to " + std::to_string(n));
        }
        if (a == b) throw py::value_error(named + ": a position cannot pair with itself");
        if (partners[a] != 0 || partners[b] != 0) {
            throw py::value_error(named + ": position " + std::to_string(partners[a] != 0 ? a : b) +
                                  " is already paired");
        }
        partners[a] = b;
        partners[b] = a;
    }
    return partners;
}

void writeCt(const std::string& path, const std::string& letters, const py::object& pairing, const std::string& title,
             double energyKcal) {
    if (title.find_first_of("\r\n") != std::string::npos) throw py::value_error("the title holds a line break");
    if (!std::isfinite(energyKcal)) throw py::value_error("the energy must be a finite number");
    const rnaSequence sequence = sequenceOf(title, letters);
    foldResult result;
    if (py::isinstance<py::str>(pairing)) {
        result.pairs = readDotBracketRecord(title, letters, pairing.cast<std::string>()).pairs;
    } else {
        std::vector<std::pair<int, int>> pairs;
        try {
            pairs = pairing.cast<std::vector<std::pair<int, int>>>();
        } catch (const py::cast_error&) {
            throw py::type_error("expected a dot-bracket str or a list of (i, j) pairs");
        }
        result.pairs = partnersOf(pairs, sequence.length());
    }
    result.energy = static_cast<int>(std::lround(energyKcal * TENTHS_PER_KCAL));
    structure record = resultRecord(sequence, result);
    record.nstructs = 1;
    if (!ctoutWithNum(record, path, false, 1, 1)) {
        PyErr_SetString(PyExc_OSError, ("cannot write the CT file " + path).c_str());
        throw py::error_already_set();
    }
}

void translateErrors(std::exception_ptr thrown) {
    try {
        if (thrown) std::rethrow_exception(thrown);
    } catch (const foldError& error) {
        PyObject* kind = PyExc_RuntimeError;
        if (error.kind() == foldErrorKind::unsupported) kind = PyExc_NotImplementedError;
        if (error.kind() == foldErrorKind::outOfMemory) kind = PyExc_MemoryError;
        if (error.kind() == foldErrorKind::noStem) kind = PyExc_ValueError;
        PyErr_SetString(kind, error.what());
    } catch (const parameterError& error) {
        PyErr_SetString(PyExc_ValueError, error.what());
    } catch (const inputError& error) {
        PyErr_SetString(PyExc_ValueError, error.what());
    }
}

}  // namespace

}  // namespace korvane::python

PYBIND11_MODULE(_korvane, module) {
    using namespace korvane;
    using namespace korvane::python;
    using namespace pybind11::literals;
    module.doc() = "RNA secondary structure prediction with korvane's engine.";
    module.attr("__version__") = KORVANE_VERSION;
    py::register_exception_translator(&translateErrors);

    py::class_<foldedStructure>(module, "FoldResult", "One folded sequence.")
        .def_readonly("title", &foldedStructure::title)
        .def_readonly("sequence", &foldedStructure::sequence)
        .def_readonly("structure", &foldedStructure::structure, "dot-bracket line")
        .def_readonly("pairs", &foldedStructure::pairs, "1-based (i, j) pairs, i < j, by i")
        .def_readonly("energy", &foldedStructure::energy, "free energy in kcal/mol")
        .def_readonly("stems", &foldedStructure::stems, "stems the greedy search found")
        .def_readonly("passes", &foldedStructure::passes, "assembly passes that scored candidates")
        .def(
            "__eq__",
            [](const foldedStructure& a, const foldedStructure& b) {
                return a.title == b.title && a.sequence == b.sequence && a.structure == b.structure &&
                       a.energy == b.energy && a.stems == b.stems && a.passes == b.passes;
            },
            py::is_operator())
        .def("__repr__", [](const foldedStructure& folded) {
            return "FoldResult(title=" + py::repr(py::str(folded.title)).cast<std::string>() + ", structure='" +
                   folded.structure + "', energy=" + py::repr(py::float_(folded.energy)).cast<std::string>() + ")";
        });

    module.def("fold", &fold, "sequence"_a, "algorithm"_a = DEFAULT_ALGORITHM, "params"_a = "",
               "temperature"_a = DEFAULT_CELSIUS, "title"_a = "",
               "Folds one sequence (letters ACGUTXN, either case) as korvane-fold does; returns a FoldResult.\n"
               "A sequence in which nothing can pair is the open chain of energy 0.");
    module.def("fold_many", &foldManyOf, "sequences"_a, "jobs"_a = 1, "algorithm"_a = DEFAULT_ALGORITHM,
               "params"_a = "", "temperature"_a = DEFAULT_CELSIUS,
               "Folds every sequence (a str, or a (title, sequence) tuple) on up to jobs threads; returns the\n"
               "FoldResults in input order, each equal to fold's.");
    module.def("energy", &energy, "sequence"_a, "structure"_a, "model"_a = DEFAULT_ENERGY_MODEL,
               "params"_a = "", "temperature"_a = DEFAULT_CELSIUS,
               "Free energy in kcal/mol of a nested dot-bracket structure, as korvane-eval computes it.");
    module.def("bpp", &bpp, "sequence"_a, "algorithm"_a = DEFAULT_ALGORITHM, "params"_a = "",
               "temperature"_a = DEFAULT_CELSIUS,
               "Base-pair probabilities as an (n + 1) x (n + 1) NumPy array indexed by 1-based positions.\n"
               "Raises NotImplementedError while the engine computes none.");
    module.def("read_ct", &readCt, "path"_a,
               "The first structure of a CT file as (title, sequence, pairs), pairs 1-based (i, j) with i < j.");
    module.def("write_ct", &writeCt, "path"_a, "sequence"_a, "pairs_or_structure"_a, "title"_a = "",
               "energy"_a = 0.0,
               "Writes a CT file of sequence paired by a dot-bracket line or a list of 1-based (i, j) pairs;\n"
               "the energy (kcal/mol) goes in the header unless it is 0.");
    module.def("parameter_sets", &builtinParameterSets, "Names of the built-in parameter sets, default first.");
}
