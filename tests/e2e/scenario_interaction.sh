# Every interaction a user has: moving, turning, the modes, the three-click triangle, quitting.
# The view may have turned at start (the first mouse move turns it by the pointer's offset from
# the centre, as on Windows), so the checks follow the cubes where they are. Object 1, the
# lowest cube, never moves by itself: it tells how the view moved.

if start_program; then
    sleep 0.5
    cubes=0
    for attempt in 1 2 3 4 5; do
        screenshot start
        cubes=$(blobs start | wc -l)
        [ "$cubes" -ge 4 ] && break
    done
    if [ "$(client_pixel start 240 30)" = "255,0,0" ] && [ "$(client_pixel start 10 200)" = "255,0,0" ]; then
        pass "the red viewport border is drawn"
    else
        fail "no red viewport border"
    fi
    if [ "$cubes" -ge 4 ]; then pass "the four cubes are on screen"; else fail "only $cubes cubes are on screen"; fi

    read -r _ start_x _ <<< "$(lowest_blob start)"
    start_area=$(mean_lowest_area start)
    press w w w w w w w w
    forward_area=$(mean_lowest_area forward)
    forward_lit=$(lit_in_viewport forward-4)
    press f
    screenshot wireframe
    wire_lit=$(lit_in_viewport wireframe)
    press f
    press s s s s s s s s
    back_area=$(mean_lowest_area back)
    if [ "$forward_area" -gt $((start_area * 13 / 10)) ] && [ "$back_area" -lt $((forward_area * 8 / 10)) ]; then
        pass "W makes the cubes larger and S brings them back ($start_area, $forward_area, $back_area pixels)"
    else
        fail "W/S: the lowest cube covers $start_area, $forward_area, $back_area pixels"
    fi
    if [ "$wire_lit" -lt $((forward_lit / 2)) ]; then
        pass "F switches to wireframe ($forward_lit lit pixels filled, $wire_lit in wireframe)"
    else
        fail "F: $forward_lit lit pixels filled, $wire_lit in wireframe"
    fi

    press a a a
    screenshot left
    read -r _ left_x _ <<< "$(lowest_blob left)"
    press d d d d d d
    screenshot right
    read -r _ right_x _ <<< "$(lowest_blob right)"
    press a a a
    if [ $((left_x - start_x)) -gt 20 ] && [ $((start_x - right_x)) -gt 20 ]; then
        pass "A and D shift the cubes sideways (x $start_x, $left_x, $right_x)"
    else
        fail "A/D: the lowest cube stands at x $start_x, $left_x, $right_x"
    fi

    press b
    screenshot texture
    convert "$work/texture.png" -crop "256x256+0+$(menu_bar_height)" +repage "$work/texture-crop.png"
    if compare -metric AE "$work/texture-crop.png" "$source_dir/assets/marquetile.bmp" null: 2> /dev/null; then
        pass "B shows the texture at the top-left corner"
    else
        fail "B: the top-left corner is not the texture"
    fi
    press b

    screenshot before-turn
    read -r _ before_x _ <<< "$(lowest_blob before-turn)"
    move_to 290 250
    screenshot turned
    read -r _ turned_x _ <<< "$(lowest_blob turned)"
    if [ $((turned_x - before_x)) -gt 15 ] || [ $((before_x - turned_x)) -gt 15 ]; then
        pass "a mouse move with the cursor captured turns the view (x $before_x, $turned_x)"
    else
        fail "a captured mouse move did not turn the view (x $before_x, $turned_x)"
    fi

    press c
    screenshot freed
    read -r _ freed_x _ <<< "$(lowest_blob freed)"
    move_to 100 100
    move_to 380 300
    screenshot free-moved
    read -r _ moved_x _ <<< "$(lowest_blob free-moved)"
    if [ $((moved_x - freed_x)) -lt 15 ] && [ $((freed_x - moved_x)) -lt 15 ]; then
        pass "with the cursor freed, moving the mouse no longer turns the view (x $freed_x, $moved_x)"
    else
        fail "the view turned with the cursor freed (x $freed_x, $moved_x)"
    fi

    # Corners, and a point near each inside the triangle, for two places; the first place
    # that the cubes leave dark is used.
    colours=""
    for place in "40 60 160 60 40 200 43 64 152 63 43 190" \
                 "440 370 320 370 440 230 437 366 328 367 437 240"; do
        set -- $place
        [ "$(client_pixel freed "${7}" "${8}")$(client_pixel freed "${9}" "${10}")$(client_pixel freed "${11}" "${12}")" = "0,0,00,0,00,0,0" ] || continue
        click_at "$1" "$2"
        click_at "$3" "$4"
        click_at "$5" "$6"
        move_to 250 5
        screenshot triangle
        colours="$(client_pixel triangle "$7" "$8") $(client_pixel triangle "$9" "${10}") $(client_pixel triangle "${11}" "${12}")"
        break
    done
    read -r red green blue <<< "$colours"
    dominant() {  # whether channel $2 (1, 2, 3) of "r,g,b" $1 stands above 190 and the others below 70
        local IFS=, value index=0 ok=1
        for value in $1; do
            index=$((index + 1))
            if [ "$index" -eq "$2" ]; then [ "$value" -gt 190 ] || ok=0; else [ "$value" -lt 70 ] || ok=0; fi
        done
        [ "$ok" -eq 1 ]
    }
    if [ -n "$colours" ] && dominant "$red" 1 && dominant "$green" 2 && dominant "$blue" 3; then
        pass "three clicks draw a triangle with red, green and blue corners ($colours)"
    else
        fail "three clicks: corner colours '$colours'"
    fi

    press Escape
    if expect_exit_status 0; then pass "Escape ends the program with status 0"; else fail "Escape did not end the program with status 0"; fi
else
    fail "the program did not start"
fi

# "File", "Exit" chosen with the mouse; the cursor is freed first, as it is confined below the
# menu bar while captured.
if start_program; then
    sleep 0.3
    press c
    xdotool mousemove --window "$window_id" 15 8 click 1
    sleep 0.3
    screenshot menu-open
    xdotool mousemove --window "$window_id" 20 $((8 + $(menu_bar_height))) click 1
    if expect_exit_status 0; then pass "File, Exit ends the program with status 0"; else fail "File, Exit did not end the program with status 0"; fi
else
    fail "the program did not start a second time"
fi
