#include "app/DelayEditor.h"

namespace vantrel {

void DelayEditor::Register(HandlerTable&) { (void)m_ctx; }

}  // namespace vantrel
