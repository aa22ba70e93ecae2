begin
  update emp set sal = sal * 1.1 where deptno = :d returning sal into :s;
  if sql%notfound then rollback; else commit; end if;
  :x := upper(substr(to_char(sysdate, 'YYYY'), 1, 2)) || nvl(null, 'a');
end;