#include "app/StripEditor.h"

namespace vantrel {

void StripEditor::Register(HandlerTable&) { (void)m_ctx; }

}  // namespace vantrel
