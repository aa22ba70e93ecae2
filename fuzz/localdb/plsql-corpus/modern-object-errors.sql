declare
  p fz_point := fz_point(1, 2, 3);
  q fz_point := fz_point(z => 1);
  type r is record (x number, y varchar2(10));
  s r;
begin
  p := s; p.nothing(1); fz_point.len; p.move; fz_point.origin(1).x := 2;
  if p = s then null; end if;
  :r := p.move(1);
end;
