# The window opens with its title and menu bar, shows the head-up lines, and closing it ends
# the program with status 0.
if start_program; then
    pass "a window titled \"$window_title\" opens"
    screenshot window
    if [ "$(count_lit window 470x14+10+20)" -gt 20 ]; then
        pass "the head-up lines are drawn"
    else
        fail "no head-up text in the window"
    fi
    "$work/close_window" "$window_id"
    if expect_exit_status 0; then
        pass "closing the window ends the program with status 0"
    else
        fail "closing the window did not end the program with status 0"
    fi
else
    fail "no window titled \"$window_title\" appeared"
    cat "$work/program.log"
fi
