#include "app/MenuEditor.h"

namespace vantrel {

void MenuEditor::Register(HandlerTable&) { (void)m_ctx; }

}  // namespace vantrel
