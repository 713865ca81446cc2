# Looking inside a frame. Started with --inspect: P stops the cubes, N moves them one step, Z
# shows the depth buffer in greys and O the overdraw with its legend, each key again returning
# to colour, and I the magnifier with the story of the cursor's pixel below the viewport, I again
# hiding it. Started plainly, the same keys change nothing. Only the inside of the viewport
# border is compared: the head-up line counts frames and names the view.

# How many pixels inside the viewport border differ between two screenshots.
scene_difference() {
    local offset region
    offset=$(menu_bar_height)
    region="458x358+11+$((31 + offset))"
    convert "$work/$1.png" -crop "$region" +repage "$work/$1-scene.png"
    convert "$work/$2.png" -crop "$region" +repage "$work/$2-scene.png"
    compare -metric AE "$work/$1-scene.png" "$work/$2-scene.png" null: 2>&1 | awk '{ print int($1) }'
}

# Lit pixels inside the viewport border whose three channels are not all equal.
coloured_in_viewport() {
    convert "$work/$1.png" -crop "458x358+11+$((31 + $(menu_bar_height)))" +repage -depth 8 txt:- |
        awk -F'[ ,:()]+' 'NR > 1 && ($3 != $4 || $4 != $5) { n++ } END { print n + 0 }'
}

# Lit pixels in the rows below the viewport, where the overdraw legend goes.
lit_below_viewport() {
    count_lit "$1" "470x15+0+$((392 + $(menu_bar_height)))"
}

if start_program --inspect; then
    sleep 0.5
    screenshot inspect-running
    press p
    screenshot paused
    sleep 0.5
    screenshot still-paused
    running=$(scene_difference inspect-running paused)
    held=$(scene_difference paused still-paused)
    if [ "$running" -gt 0 ] && [ "$held" -eq 0 ]; then
        pass "P pauses the animation ($held pixels change in half a second)"
    else
        fail "P: $running pixels changed before, $held while paused"
    fi

    press n
    screenshot stepped
    sleep 0.5
    screenshot still-stepped
    step=$(scene_difference still-paused stepped)
    after=$(scene_difference stepped still-stepped)
    if [ "$step" -gt 0 ] && [ "$after" -eq 0 ]; then
        pass "N moves the paused cubes one step ($step pixels change, then none)"
    else
        fail "N: $step pixels changed with the step, $after after it"
    fi

    press z
    screenshot depth
    greys=$(lit_in_viewport depth)
    coloured=$(coloured_in_viewport depth)
    press z
    screenshot colour-again
    if [ "$greys" -gt 1000 ] && [ "$coloured" -eq 0 ] && [ "$(scene_difference stepped colour-again)" -eq 0 ]; then
        pass "Z shows the depth buffer in greys ($greys lit pixels) and Z again the colours"
    else
        fail "Z: $greys lit pixels, $coloured of them coloured; back in colour $(scene_difference stepped colour-again) differ"
    fi

    press o
    screenshot overdraw
    single=$(count_colour overdraw "458x358+11+$((31 + $(menu_bar_height)))" 30,40,170)
    legend=$(lit_below_viewport overdraw)
    press o
    screenshot colour-after-overdraw
    if [ "$single" -gt 1000 ] && [ "$legend" -gt 50 ] && [ "$(lit_below_viewport stepped)" -eq 0 ] &&
        [ "$(scene_difference stepped colour-after-overdraw)" -eq 0 ]; then
        pass "O shows the writes per pixel ($single written once) with a legend, and O again the colours"
    else
        fail "O: $single pixels in the colour of one write, $legend lit legend pixels"
    fi

    press i
    screenshot magnifier
    story=$(lit_below_viewport magnifier)
    magnified=$(scene_difference colour-after-overdraw magnifier)
    press i
    screenshot colour-after-magnifier
    if [ "$story" -gt 50 ] && [ "$magnified" -gt 1000 ] &&
        [ "$(scene_difference colour-after-overdraw colour-after-magnifier)" -eq 0 ]; then
        pass "I shows the magnifier ($magnified pixels) and the pixel's story, and I again hides them"
    else
        fail "I: $magnified pixels changed, $story lit below the viewport"
    fi

    press w
    screenshot walked
    press s
    press p
    screenshot resumed
    sleep 0.5
    screenshot resumed-later
    if [ "$(scene_difference colour-after-overdraw walked)" -gt 0 ] &&
        [ "$(scene_difference resumed resumed-later)" -gt 0 ]; then
        pass "the camera moves while paused, and P again resumes the animation"
    else
        fail "W while paused or P resuming changed nothing"
    fi
    press Escape
    expect_exit_status 0 || fail "Escape did not end the inspecting program with status 0"
else
    fail "the program did not start with --inspect"
fi

if start_program; then
    sleep 0.5
    press p n z o i
    screenshot plain-keys
    sleep 0.5
    screenshot plain-keys-later
    moving=$(scene_difference plain-keys plain-keys-later)
    coloured=$(coloured_in_viewport plain-keys)
    legend=$(lit_below_viewport plain-keys)
    if [ "$moving" -gt 0 ] && [ "$coloured" -gt 1000 ] && [ "$legend" -eq 0 ]; then
        pass "started plainly, P, N, Z, O and I change nothing (the cubes turn, in colour, no legend)"
    else
        fail "started plainly: $moving pixels moved, $coloured coloured, $legend in a legend"
    fi
    press Escape
    expect_exit_status 0 || fail "Escape did not end the plain program with status 0"
else
    fail "the program did not start plainly"
fi
