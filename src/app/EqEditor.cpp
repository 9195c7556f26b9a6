#include "app/EqEditor.h"

namespace vantrel {

void EqEditor::Register(HandlerTable&) { (void)m_ctx; }

}  // namespace vantrel
