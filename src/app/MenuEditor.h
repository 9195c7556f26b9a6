#pragma once

#include "app/EditorContext.h"

namespace vantrel {

class MenuEditor {
public:
    explicit MenuEditor(EditorContext& context) : m_ctx(context) {}
    void Register(HandlerTable& table);

private:
    EditorContext& m_ctx;
};

}  // namespace vantrel
