#include "app/SetupEditor.h"

namespace vantrel {

void SetupEditor::Register(HandlerTable&) { (void)m_ctx; }

}  // namespace vantrel
