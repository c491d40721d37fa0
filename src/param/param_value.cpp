#include "param/param_value.h"

namespace corvane {

template class ParamValueSpec<ParamRawValue>;
template class ParamValueSpec<ParamRawValueFloat>;
template class ParamValueSpec<ParamRawValueInt>;
template class ParamValueSpec<ParamRawValueExpression>;

}  // namespace corvane
