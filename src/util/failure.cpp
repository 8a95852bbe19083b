#include "util/failure.h"

namespace Vane {

void Failure::Build(std::string_view tmpl, TemplateValue* values, size_t count) {
    message_ = FormatNamedTemplate(tmpl, values, count, &fields_);
}

}  // namespace Vane
