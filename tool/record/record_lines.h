// The lines of the installation record (install_record.h) and the process they name: the record
// library's own, used by its writer and reader.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "install_record.h"

namespace vt::record {

// The begin line of `what` (its end is not looked at), with its line feed.
std::string begin_line(const installation& what);

// The end line of the installation run by `process`, with its line feed.
std::string end_line(const process_id& process, const ending& how);

// The last installation in the text of a record file, with its end; one without an end line is
// interrupted. Only lines ended by a line feed count: a line being written is not read half.
std::optional<installation> last_in(std::string_view text);

// This process, as a begin line names it.
process_id this_process();

// Whether `process` is still running: the same boot of the system, the same process id, started
// at the same time, and not ended (a zombie has ended).
bool is_alive(const process_id& process);

}  // namespace vt::record
