#pragma once
// Streams the records of a multi-record FASTA text (or of bare sequence lines) one at a time,
// in input order, holding one record in memory.

#include <istream>
#include <string>

namespace korvane {

constexpr std::size_t MAX_TITLE_BYTES = 4096;  // longer titles are cut; memory stays bounded

struct sequenceRecord {
    int number = 0;      // 1-based, counting every record, also refused ones
    std::string title;   // control characters as blanks; "seqN" for a bare sequence line
    std::string letters; // blanks removed; empty when refused
    std::string fault;   // why the record cannot be folded; empty when it can
};

class recordReader {
public:
    // Sequences longer than maxLength are refused without being kept.
    recordReader(std::istream& in, std::size_t maxLength);

    // The next record; false at the end of the input. A record with a fault is still returned
    // (the caller reports it) and reading goes on with the following one.
    bool next(sequenceRecord& record);

private:
    std::streambuf* in_;
    std::size_t maxLength_;
    int line_ = 0;
    int count_ = 0;
    bool pendingTitle_ = false;  // a '>' line was read ahead: its title is in pending_
    std::string pending_;
    std::string lineText_;

    bool readLine();  // into lineText_, without its line end; false at the end
};

}  // namespace korvane
