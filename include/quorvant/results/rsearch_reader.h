// The reader of rsearch's list files (<base>_list_<rank>): one search per line, handed to a sink.
#ifndef QUORVANT_RESULTS_RSEARCH_READER_H
#define QUORVANT_RESULTS_RSEARCH_READER_H

#include <span>
#include <string>
#include <vector>

#include "quorvant/results/read_status.h"

namespace qv::results {

class RsearchSink {
public:
    virtual ~RsearchSink() = default;
    virtual void start(const std::vector<std::string> & /*variable names*/) {}
    virtual void search(int /*rank*/, int /*number*/, double /*fitness*/, std::span<const double>) {}
};

// Several list files (the ranks of one run) are read one after the other as one table; their
// headers must name the same search variables. On failure `failed_path` names the file.
ReadStatus read_rsearch_lists(const std::vector<std::string> &paths, RsearchSink &sink, std::string &failed_path);

}  // namespace qv::results

#endif
