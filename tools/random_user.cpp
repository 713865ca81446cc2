#include "tools/random_user.h"

#include "app/app.h"
#include "app/menu.h"

RandomUser::RandomUser(unsigned seed) : state(seed * 2654435761u + 0x9E3779B9u) {
    if (state == 0) {
        state = 1;
    }
}

int RandomUser::below(int n) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return (int)(state % (std::uint32_t)n);
}

bool RandomUser::next(int frame, shim::ScriptedEvent* event) {
    static const int keys[] = {'W', 'S', 'A', 'D', VK_UP,    VK_DOWN, 'B',      'C',      'F',
                               'Q', 'E', 'Z', '1', VK_SPACE, VK_LEFT, VK_RIGHT, VK_RETURN};
    static const int commands[] = {commandMenuLabel, 1, 40002};
    *event = {frame, shim::ScriptedEvent::key, 0, 0};
    switch (below(8)) {
        case 0:
        case 1:
            event->a = keys[below(sizeof keys / sizeof keys[0])];
            return true;
        case 2:
        case 3:
            event->kind = shim::ScriptedEvent::move;
            break;
        case 4:
            event->kind = shim::ScriptedEvent::click;
            break;
        case 5:
            event->kind = shim::ScriptedEvent::command;
            event->a = commands[below(3)];
            return true;
        default:
            return false;
    }
    event->a = below(clientRect.right);
    event->b = below(clientRect.bottom);
    return true;
}
