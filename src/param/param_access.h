#pragma once

namespace corvane {

// Access levels of classes and arrays. A class that is still at PADefault
// after loading inherits a level from its base or its parents.
enum ParamAccess : int {
  PADefault = -1,
  PAReadAndWrite = 0,      // modifiable
  PAReadAndCreate = 1,     // add-only: new entries may come, old ones stay
  PAReadOnly = 2,          // nothing may be added or changed
  PAReadOnlyVerified = 3,  // read-only and covered by the check value
};

}  // namespace corvane
