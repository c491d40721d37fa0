#pragma once

namespace corvane {

class ParamClass;
class ParamFile;

// Merges the class `source` into `target`, recursively: values replace
// values, arrays take the updating array's items (shared), classes merge,
// deletion markers remove classes nobody else holds, declared-only classes
// create empty classes where none exists, and the base follows the updating
// class. With `respect_access`, the target's access level limits what may
// change (add-only and read-only targets report "Trying to modify ..." and
// keep their entries). `quiet` silences the base-change warnings.
//
// True when `target` afterwards holds exactly the entries processed from
// `source` and its base was settled; false otherwise, also after an error
// (entries merged before the error stay merged).
bool Update(ParamClass& target, ParamClass& source, bool respect_access, bool quiet);

// Parses `file`'s own file name again as text (with its current class
// source) and merges the result into it. 0 when the merge mirrored the file
// (every entry is bound to the file again), 12 when it did not, or the parse
// result when parsing failed.
int ParamReloadText(ParamFile& file);

}  // namespace corvane
