#pragma once

#include "app/EditorContext.h"

namespace vantrel {

class CrossoverEditor {
public:
    explicit CrossoverEditor(EditorContext& context) : m_ctx(context) {}
    void Register(HandlerTable& table);

private:
    EditorContext& m_ctx;
};

}  // namespace vantrel
