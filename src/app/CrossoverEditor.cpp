#include "app/CrossoverEditor.h"

namespace vantrel {

void CrossoverEditor::Register(HandlerTable&) { (void)m_ctx; }

}  // namespace vantrel
