#pragma once
// Reads one RNA sequence (FASTA, or the semicolon-comment layout) into a fresh record.

#include <string>
#include <string_view>

#include "rna/sequence.h"
#include "rna/structure.h"

namespace korvane {

// Longest sequence accepted; far above any real RNA, it keeps one absurd file from exhausting
// memory or time for the whole batch. Longer sequences are refused like unreadable ones.
constexpr int MAX_SEQUENCE_LENGTH = 1'000'000;

// True when at least one base was read; the record then holds the title in label[1], the
// letters, codes and numbering, and structure 1 unpaired. Fails silently otherwise.
bool openseq(structure& record, const std::string& path);

// The same reading into an in-memory sequence (title cut as a record's label is); false, with
// sequence untouched, where openseq fails.
bool readSequenceFile(const std::string& path, rnaSequence& sequence);

// Why openseq refuses the file at path, in a few words ("line 3, column 7: 'Z' is not a sequence
// letter", "no sequence after the title line", ...); empty when it reads the file.
std::string sequenceFileFault(const std::string& path);

// Sets seqcode[p] for a sequence letter and records lower-case positions in lowerpos.
void baseCode(char letter, structure& record, int p);

// Makes letters the record's sequence: letters, codes and numbering 1..n, structure 1 unpaired.
void fillSequence(structure& record, std::string_view letters);

}  // namespace korvane
