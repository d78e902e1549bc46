#pragma once
// The batch run: banner, listing of ./sequences, one prediction per FASTA file, closing lines.

namespace korvane {

void multiDatmain();

}  // namespace korvane
